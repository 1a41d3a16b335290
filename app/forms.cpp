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
#include "app/TfmSeqNo.h"
#include "payroll/ui/TfmCorpInfo.h"
#include "payroll/ui/TfmKenRitu.h"
#include "payroll/ui/TfmRefData.h"
#include "payroll/ui/TfmSelData.h"
#include "print/ui/TfmInji.h"
#include "print/ui/TfmPreView.h"
#include "print/ui/TfmPrnFormK.h"
#include "print/ui/TfmPrnFormS.h"
#include "services/ui/TfmNotice.h"

TShellForm* fmOption = nullptr;
TShellForm* fmVersion = nullptr;
TShellForm* fmFolder = nullptr;
TShellForm* fmSendMail = nullptr;
TShellForm* fmInpPass = nullptr;
TShellForm* fmSetPass = nullptr;
TShellForm* fmInpDlg = nullptr;
TShellForm* fmPrnItem = nullptr;
TShellForm* fmSelFont = nullptr;
TShellForm* fmSelCorp = nullptr;
TShellForm* fmShowLog = nullptr;
TShellForm* fmCloud = nullptr;

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
}  // namespace

void CreateForms()
{
    fmMain = new TfmMain();
    fmSelData = new TfmSelData(fmMain);
    fmInji = new TfmInji(fmMain);
    // The print dialog reads the employee list through this, in list order.
    TfmInji::SetMemberList([] {
        TListSlots list;
        list.Lines = fmMain->listedSlots();
        list.Ticked = fmMain->tickedSlots();
        return list;
    });
    shell(fmOption, "TfmOption", "入力項目の設定");
    shell(fmVersion, "TfmVersion", "バージョン情報");
    lazy(fmPreView);
    lazy(fmPrnFormK);
    lazy(fmCorpInfo);
    lazy(fmMembEdit);
    fmNotice = new TfmNotice(fmMain);
    InstallNoticePanel(fmNotice);
    lazy(fmPrnFormS);
    lazy(fmDataEdit);
    shell(fmFolder, "TfmFolder", "フォルダーの選択");
    lazy(fmKenhoHyo);
    lazy(fmRefData);
    shell(fmSendMail, "TfmSendMail", "明細書のメール送信");
    shell(fmInpPass, "TfmInpPass", "パスワードの入力");
    shell(fmSetPass, "TfmSetPass", "パスワードの設定");
    lazy(fmKenRitu);
    shell(fmInpDlg, "TfmInpDlg", "年の入力");
    shell(fmPrnItem, "TfmPrnItem", "台帳項目の設定");
    shell(fmSelFont, "TfmSelFont", "フォントの選択");
    lazy(fmSeqNo);
    shell(fmSelCorp, "TfmSelCorp", "会社データの選択");
    shell(fmShowLog, "TfmShowLog", "システムログ");
    lazy(fmListInp);
    lazy(fmListEdit);
    shell(fmCloud, "TfmCloud", "クラウド機能");
}

void DestroyForms()
{
    // Every other window is a child of the main window and goes with it.
    InstallNoticePanel(nullptr);
    TfmInji::SetMemberList({});
    for (TShellForm** f : {&fmOption, &fmVersion, &fmFolder, &fmSendMail, &fmInpPass, &fmSetPass, &fmInpDlg,
                           &fmPrnItem, &fmSelFont, &fmSelCorp, &fmShowLog, &fmCloud})
        *f = nullptr;
    delete fmMain;
    fmMain = nullptr;
    fmSelData = nullptr;
    fmInji = nullptr;
    fmPreView.reset();
    fmRefData.reset();
    fmPrnFormK.reset();
    fmPrnFormS.reset();
    fmNotice = nullptr;
    fmDataEdit.reset();
    fmListInp.reset();
    fmCorpInfo.reset();
    fmMembEdit.reset();
    fmKenhoHyo.reset();
    fmKenRitu.reset();
    fmSeqNo.reset();
    fmListEdit.reset();
}
