// The program pelmoras: sets up the application and the window-layer hooks of the core.
#include <QApplication>

#include "platform/fonts.h"
#include "platform/msgbox_qt.h"
#include "services/notice.h"
#include "services/ui/TfmNotice.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("給与計算PelmoraS"));
    InstallFontSubstitutions();
    InstallQtMessageBoxes();

    TfmNotice notice;
    fmNotice = &notice;
    InstallNoticePanel(fmNotice);

    ShowNotice(QStringLiteral("給与計算PelmoraS"), kNoticeSelfClosing);

    SetNoticeHandler({});
    fmNotice = nullptr;
    return 0;
}
