// Creation of every window in the start-up order.
#include "app/forms.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "app/TfmDataEdit.h"
#include "app/TfmKenhoHyo.h"
#include "app/TfmListEdit.h"
#include "app/TfmListInp.h"
#include "app/TfmMain.h"
#include "app/TfmMembEdit.h"
#include "app/TfmSendMail.h"
#include "app/TfmSeqNo.h"
#include "app/TfmShowLog.h"
#include "app/TfmVersion.h"
#include "payroll/password.h"
#include "payroll/ui/TfmCorpInfo.h"
#include "payroll/ui/TfmFolder.h"
#include "payroll/ui/TfmInpDlg.h"
#include "payroll/ui/TfmInpPass.h"
#include "payroll/ui/TfmKenRitu.h"
#include "payroll/ui/TfmOption.h"
#include "payroll/ui/TfmRefData.h"
#include "payroll/ui/TfmSelCorp.h"
#include "payroll/ui/TfmSelData.h"
#include "payroll/ui/TfmSelFont.h"
#include "payroll/ui/TfmSetPass.h"
#include "print/ui/TfmInji.h"
#include "print/ui/TfmPreView.h"
#include "print/ui/TfmPrnFormK.h"
#include "print/ui/TfmPrnFormS.h"
#include "print/ui/TfmPrnItem.h"
#include "services/ui/TfmCloud.h"
#include "services/ui/TfmHelp.h"
#include "services/ui/TfmNotice.h"

TShellForm::TShellForm(const char* className, const QString& caption, QWidget* parent) : QDialog(parent)
{
    setObjectName(QString::fromLatin1(className).mid(1).prepend(QLatin1Char('f')));  // TfmX -> fmX
    setWindowTitle(caption);
}

namespace {
// A window created on first use, as a child of the main window.
template <typename T>
void lazy(TFormRef<T>& form)
{
    form = nullptr;
    form.setFactory([]() -> T* { return new T(fmMain); });
}

template <typename T>
void shell(T*& form, const char* className, const char* caption)
{
    form = new TShellForm(className, QString::fromUtf8(caption), fmMain);
}

// Set once the start has asked for the print memo before the print dialog existed.
bool memoWanted = false;
}  // namespace

void LoadPrintMemo()
{
    if (TfmInji* inji = fmInji.existing())
        inji->LoadPrintMemo();
    else
        memoWanted = true;
}

void CreateForms()
{
    fmMain = new TfmMain();
    // Before any window is made by a shortcut: the print dialog tells a shortcut's Ctrl from a
    // Ctrl held on purpose.
    WatchShortcutKeys();
    fmSelData = new TfmSelData(fmMain);
    // A restore or a new data set ends the program at the close that follows, without a question.
    fmSelData->OnEndProgram = [] { fmMain->SkipSaveCheck = true; };
    fmInji = nullptr;
    fmInji.setFactory([] {
        auto* inji = new TfmInji(fmMain);
        if (memoWanted) inji->LoadPrintMemo();
        return inji;
    });
    // The print dialog reads the employee list through this, in list order.
    TfmInji::SetMemberList([] {
        TListSlots list;
        list.Lines = fmMain->listedSlots();
        list.Ticked = fmMain->tickedSlots();
        return list;
    });
    lazy(fmOption);
    lazy(fmVersion);
    lazy(fmPreView);
    lazy(fmPrnFormK);
    lazy(fmCorpInfo);
    lazy(fmMembEdit);
    lazy(fmNotice);
    InstallNoticePanel(fmNotice);
    InstallHelpKeys();
    lazy(fmPrnFormS);
    lazy(fmDataEdit);
    lazy(fmFolder);
    lazy(fmKenhoHyo);
    lazy(fmRefData);
    lazy(fmSendMail);
    lazy(fmInpPass);
    lazy(fmSetPass);
    lazy(fmKenRitu);
    lazy(fmInpDlg);
    lazy(fmPrnItem);
    lazy(fmSelFont);
    lazy(fmSeqNo);
    lazy(fmSelCorp);
    lazy(fmShowLog);
    lazy(fmListInp);
    lazy(fmListEdit);
    fmCloud = nullptr;
    fmCloud.setFactory([] {
        auto* cloud = new TfmCloud(fmMain);
        cloud->OnPassword = [] {
            fmSetPass->PassMode = pmCloud;
            fmSetPass->exec();
        };
        return cloud;
    });
    fmSelData->OnCloud = [] {
        bool restored = false;
        fmCloud->OnEndProgram = [&restored] { restored = true; };
        fmCloud->exec();
        fmCloud->OnEndProgram = nullptr;
        return restored;
    };
}

void DestroyForms()
{
    // Every other window is a child of the main window and goes with it.
    InstallNoticePanel(nullptr);
    RemoveHelpKeys();
    TfmInji::SetMemberList({});
    fmCloud.reset();
    delete fmMain;
    fmMain = nullptr;
    fmSelData = nullptr;
    fmInji.reset();
    memoWanted = false;
    fmPreView.reset();
    fmPrnItem.reset();
    fmRefData.reset();
    fmPrnFormK.reset();
    fmPrnFormS.reset();
    fmNotice.reset();
    fmDataEdit.reset();
    fmListInp.reset();
    fmCorpInfo.reset();
    fmMembEdit.reset();
    fmKenhoHyo.reset();
    fmKenRitu.reset();
    fmSendMail.reset();
    fmOption.reset();
    fmSelFont.reset();
    fmSetPass.reset();
    fmInpPass.reset();
    fmSelCorp.reset();
    fmSeqNo.reset();
    fmListEdit.reset();
    fmFolder.reset();
    fmInpDlg.reset();
    fmShowLog.reset();
    fmVersion.reset();
}
