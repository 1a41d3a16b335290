// The main window: creation, first activation, caption, save and close, placement, menus.
#include "app/TfmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/TfmDataEdit.h"
#include "app/TfmListEdit.h"
#include "app/TfmListInp.h"
#include "app/TfmMembEdit.h"
#include "app/TfmSendMail.h"
#include "app/TfmSeqNo.h"
#include "app/TfmShowLog.h"
#include "app/TfmVersion.h"
#include "app/core/kinmuread.h"
#include "app/core/membcsv.h"
#include "app/core/memberlist.h"
#include "app/core/recalc.h"
#include "app/forms.h"
#include "payroll/calc.h"
#include "payroll/captions.h"
#include "payroll/common.h"
#include "payroll/corpdata.h"
#include "payroll/gensen.h"
#include "payroll/option.h"
#include "payroll/password.h"
#include "payroll/paths.h"
#include "payroll/period.h"
#include "payroll/slipitems.h"
#include "payroll/startup.h"
#include "payroll/syslog.h"
#include "payroll/taxtable.h"
#include "payroll/ui/TfmCorpInfo.h"
#include "payroll/ui/TfmInpPass.h"
#include "payroll/ui/TfmOption.h"
#include "payroll/ui/TfmSelCorp.h"
#include "payroll/ui/TfmSelData.h"
#include "payroll/yearfile.h"
#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/fonts.h"
#include "platform/inifile.h"
#include "platform/msgbox.h"
#include "platform/notice.h"
#include "platform/readfile.h"
#include "platform/shell.h"
#include "print/ui/TfmInji.h"
#include "print/ui/TfmPreView.h"
#include "print/ui/TfmPrnFormK.h"
#include "print/ui/TfmPrnFormS.h"
#include "print/ui/TfmPrnItem.h"
#include "services/cloud.h"
#include "services/mail.h"
#include "services/ui/TfmCloud.h"
#include "services/ui/TfmHelp.h"
#include "services/update.h"
#include "services/webcheck.h"

TfmMain* fmMain = nullptr;

namespace {

constexpr int FormWidth = 1024;
constexpr int MinHeight = 480;
constexpr int DesignHeight = 640;

// One entry of the menu table: its menu, component name, caption, shortcut, tool button and whether
// its work exists in this version (a command whose window is not built yet stays disabled).
struct MenuEntry {
    const char* menu;
    const char* name;
    const char* caption;
    const char* shortcut;
    const char* button;
    const char* buttonCaption;
    bool built;
};

const MenuEntry MenuTable[] = {
    {"ファイル(&F)", "mnSaveFile", "データを保存(&S)...", "Ctrl+S", "sbWrite", "ﾃﾞｰﾀ保存", true},
    {"ファイル(&F)", "mnKinmuRead", "勤務報告データの読み込み(&R)...", "", "", "", true},
    {"ファイル(&F)", "mnInport", "社員情報のCSVファイル読込(&I)...", "", "", "", true},
    {"ファイル(&F)", "mnExport", "社員情報のCSVファイル出力(&E)...", "", "", "", true},
    {"ファイル(&F)", "-", "", "", "", "", true},
    {"ファイル(&F)", "mnReturn", "給与対象月/賞与時期の選択に戻る(&B)", "Ctrl+B", "sbReturn", "対象選択",
     true},
    {"ファイル(&F)", "mnQuit", "給与計算PelmoraSを終了する(&X)", "", "", "", true},
    {"社員情報(&E)", "mnNewEnter", "社員の新規登録(&N)", "", "btNewEnter", "社員登録", true},
    {"社員情報(&E)", "mnModify", "社員情報の修正(&M)", "Ctrl+E", "btModify", "社員修正", true},
    {"社員情報(&E)", "mnDelete", "社員情報の削除(&D)", "", "btDelete", "社員削除", true},
    {"社員情報(&E)", "-", "", "", "", "", true},
    {"社員情報(&E)", "mnListEdit", "一覧形式で社員情報修正(&L)", "", "", "", true},
    {"社員情報(&E)", "mnSeqNoChange", "社員連番の変更(&S)", "", "", "", true},
    {"社員情報(&E)", "mnTaisyoku", "退職者を表示する(&T)", "", "", "", true},
    {"データ入力(&I)", "mnDataEdit", "明細書形式での入力(&M)", "", "sbDataEdit", "明細入力", true},
    {"データ入力(&I)", "mnListInput", "一覧形式での入力(&L)", "", "sbListInput", "一覧入力", true},
    {"設定(&S)", "mnCorpInfo", "会社情報の設定(&C)...", "", "", "", true},
    {"設定(&S)", "mnEnvSetting", "入力項目の設定(&E)...", "Ctrl+O", "", "", true},
    {"設定(&S)", "mnMeisai", "給与/賞与明細(&M)...", "", "", "", true},
    {"設定(&S)", "mnDaicho", "給与台帳/月別一覧(&D)...", "", "", "", true},
    {"印刷(&P)", "mnMeisaihyo", "給与/賞与明細書(&M)...", "Ctrl+P", "sbMeisaihyo", "給与明細", true},
    {"印刷(&P)", "mnKyuyoDaicho", "社員別給与台帳(&D)...", "", "sbKyuyoDaicho", "給与台帳", true},
    {"印刷(&P)", "mnKyuyoIchiran", "月別給与/賞与一覧(&I)...", "", "sbKyuyoIchiran", "月別一覧", true},
    {"印刷(&P)", "mnMeiboPrint", "社員情報一覧表(&L)...", "", "sbMeiboPrn", "社員一覧", true},
    {"印刷(&P)", "mnKinsyuPrint", "支払金種一覧表(&T)...", "", "", "", true},
    {"印刷(&P)", "mnKyuSyoDaicho", "給与/賞与総合計台帳(&G)...", "", "", "", true},
    {"印刷(&P)", "mnPrnJuminZei", "納税市町村別住民税(&J)...", "", "", "", true},
    {"印刷(&P)", "-", "", "", "", "", true},
    {"印刷(&P)", "mnAllOnOffP", "全ての社員をチェック", "Ctrl+A", "", "", true},
    {"メール(&M)", "mnSendMeisai", "給与/賞与明細書(&M)...", "", "sbSendMail", "ﾒｰﾙ送信", true},
    {"メール(&M)", "mnAllOnOffM", "対象社員をチェック", "", "", "", true},
    {"ヘルプ(&H)", "Contents", "目次(&C)", "", "", "", true},
    {"ヘルプ(&H)", "KeyWord", "キーワードで検索(&T)", "", "", "", true},
    {"ヘルプ(&H)", "mnFAQ", "よくある質問(&WEB)", "", "", "", true},
    {"ヘルプ(&H)", "-", "", "", "", "", true},
    {"ヘルプ(&H)", "mnShowLog", "システムログ表示(&L)...", "", "", "", true},
    {"ヘルプ(&H)", "mnInstDir", "インストール先の表示(&I)", "", "", "", true},
    {"ヘルプ(&H)", "-", "", "", "", "", true},
    {"ヘルプ(&H)", "mnFileUpdate", "データファイル更新(&U)", "", "", "", true},
    {"ヘルプ(&H)", "mnVerCheck", "最新バージョンかチェック(&C)", "", "", "", true},
    {"ヘルプ(&H)", "mnVerInfo", "バージョン情報(&A)", "Ctrl+V", "", "", true},
};

const char* const HeaderTitles[] = {"No",       "氏名",       "部署名",        "社員区分",
                                    "支給形態", "退職年月日", "メールアドレス"};
const int HeaderWidths[] = {48, 143, 144, 100, 90, 95, 550};

QString str(const char* s)
{
    return QString::fromUtf8(s);
}

// The version string of the version window: "1.0.0.0" gives "1.00".
QString versionString()
{
    const QString v = QStringLiteral(PELMORAS_VERSION);
    return v.left(1) + QLatin1Char('.') + v.mid(2, 1) + v.mid(4, 1);
}

// Lines of the employee list: white and light blue in turn, retired employees in silver while
// they are shown; the text is drawn whole from the line's corner (the fixed-pitch face keeps the
// columns), after the tick box.
class MemberLineDelegate : public QStyledItemDelegate {
  public:
    static constexpr int TextIndent = 8;
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool retired = index.data(TfmMain::RetiredRole).toBool();
        const bool selected = option.state & QStyle::State_Selected;
        const QColor silver(0xC0, 0xC0, 0xC0);
        QColor back = index.row() % 2 ? QColor(0xDD, 0xEE, 0xFF) : QColor(Qt::white);
        QColor fore = retired ? silver : option.palette.color(QPalette::Text);
        if (selected) {
            back = retired ? silver : option.palette.color(QPalette::Highlight);
            fore = retired ? option.palette.color(QPalette::Text)
                           : option.palette.color(QPalette::HighlightedText);
        }
        p->fillRect(option.rect, back);
        QStyleOptionViewItem check = option;
        initStyleOption(&check, index);
        check.rect =
            QRect(option.rect.left() + 1, option.rect.top() + (option.rect.height() - 13) / 2, 13, 13);
        check.state = check.state & ~QStyle::State_HasFocus;
        check.state |=
            index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
        option.widget->style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &check, p,
                                              option.widget);
        p->setPen(fore);
        p->setFont(option.font);
        // The line's columns match the header sections with 8-pixel cells when the text starts 8
        // pixels in; the tick box sits over the line's leading blank.
        p->drawText(option.rect.adjusted(TextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                    index.data(Qt::DisplayRole).toString());
    }
};

// Registry values of the installation live in a small ini file beside the program-wide settings.
QString RegistryFileName()
{
    return QFileInfo(SysIniFileName).absolutePath() + QStringLiteral("/Registry.ini");
}

// An event its receiver leaves unhandled goes on to the receiver's parents, and an application
// filter sees it at each of them. True at the widget it reached first: for a key the focus widget
// (the window while nothing has the focus), for a mouse button the innermost widget at the
// pointer, since a parent sees the button over the child it came from.
bool firstReceiver(QObject* watched, QEvent* e)
{
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return false;
    if (e->type() == QEvent::KeyPress) {
        const QWidget* focus = QApplication::focusWidget();
        return focus ? w == focus : w->isWindow();
    }
    return !w->childAt(static_cast<QMouseEvent*>(e)->position().toPoint());
}

}  // namespace

TfmMain::TfmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fmMain"));
    // Creation: the program-wide settings file and data root as start-up left them.
    SysIniFileName = IniFileName;
    DataRoot = DataPath;
    YearFileCreated = false;
    YearFileSaved = false;
    NewSysIni = !QFileInfo::exists(SysIniFileName);

    setFixedWidth(FormWidth);
    setMinimumHeight(MinHeight);
    setMaximumHeight(QWIDGETSIZE_MAX);
    buildMenus();

    auto* central = new QWidget(this);
    auto* box = new QVBoxLayout(central);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    auto* model = new QStandardItemModel(0, 7, this);
    for (int i = 0; i < 7; ++i) model->setHorizontalHeaderItem(i, new QStandardItem(str(HeaderTitles[i])));
    HeadCtrl = new QHeaderView(Qt::Horizontal, central);
    HeadCtrl->setObjectName(QStringLiteral("HeadCtrl"));
    HeadCtrl->setModel(model);
    HeadCtrl->setSectionsClickable(true);
    for (int i = 0; i < 7; ++i) {
        HeadCtrl->resizeSection(i, HeaderWidths[i]);
        HeadCtrl->setSectionResizeMode(i, QHeaderView::Fixed);
    }
    HeadCtrl->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < 5; ++i)
        model->setHeaderData(i, Qt::Horizontal, QStringLiteral("クリックすると並び替え"), Qt::ToolTipRole);
    HeadCtrl->setMouseTracking(true);
    HeadCtrl->viewport()->installEventFilter(this);
    connect(HeadCtrl, &QHeaderView::sectionClicked, this, &TfmMain::HeadCtrlSectionClick);
    HeadCtrl->setFixedHeight(22);
    ListBox = new QListWidget(central);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    // The list lines are laid out in single-byte columns: they need the fixed-pitch face.
    const QFont mono = FixedPitchFont(16);  // 8-pixel half-width cells, the header sections' grid
    ListBox->setFont(mono);
    ListBox->setItemDelegate(new MemberLineDelegate(ListBox));
    ListBox->setUniformItemSizes(true);
    ListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(ListBox, &QListWidget::currentRowChanged, this, [this] { ListBoxClick(); });
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] { mnDataEditClick(); });
    box->addWidget(HeadCtrl);
    box->addWidget(ListBox);
    setCentralWidget(central);

    readPlacement();
    EraName[1] = QStringLiteral("平成");
    EraName[2] = QStringLiteral("令和");
    setWindowTitle(ProductName);
    CurEra = DefaultEra(Today());
    YearHeader.FileMark = 1.0;
    StartupPending = true;
    SkipSaveCheck = false;
    VerStr = versionString();

    const QStringList args = QApplication::arguments().mid(1);
    DownloadMode = args == QStringList{QStringLiteral("/Download")};
    UpdateMode = args == QStringList{QStringLiteral("/Update")};
    DownloadFMode = args == QStringList{QStringLiteral("/DownloadF")};
    if (!DownloadMode && !UpdateMode && !DownloadFMode) LoadTableFiles();
    qApp->installEventFilter(this);
}

TfmMain::~TfmMain()
{
    if (qApp) qApp->removeEventFilter(this);
}

QAction* TfmMain::action(const char* name) const
{
    return findChild<QAction*>(QString::fromLatin1(name));
}

void TfmMain::buildMenus()
{
    QToolBar* tools = addToolBar(QStringLiteral("tools"));
    tools->setObjectName(QStringLiteral("ToolBar"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QMap<QString, QMenu*> menus;
    for (const MenuEntry& m : MenuTable) {
        const QString title = str(m.menu);
        if (!menus.contains(title)) menus[title] = menuBar()->addMenu(title);
        QMenu* menu = menus[title];
        if (str(m.name) == QStringLiteral("-")) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(str(m.caption));
        a->setObjectName(QString::fromLatin1(m.name));
        if (*m.shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(m.shortcut)));
        a->setEnabled(m.built);
        if (*m.button) {
            // The tool button is its own action (its own caption and name) sharing the work.
            QAction* b = tools->addAction(str(m.buttonCaption));
            b->setObjectName(QString::fromLatin1(m.button));
            b->setEnabled(m.built);
            connect(b, &QAction::triggered, a, &QAction::trigger);
        }
    }
    connect(action("mnSaveFile"), &QAction::triggered, this, &TfmMain::mnSaveFileClick);
    connect(action("mnReturn"), &QAction::triggered, this, [this] { mnReturnCloseClick(1); });
    // The tool button returns with its own Tag.
    if (QAction* sb = action("sbReturn")) {
        disconnect(sb, &QAction::triggered, nullptr, nullptr);
        connect(sb, &QAction::triggered, this, [this] { mnReturnCloseClick(3); });
    }
    connect(action("mnQuit"), &QAction::triggered, this, [this] { mnReturnCloseClick(0); });
    connect(action("mnMeisai"), &QAction::triggered, this, &TfmMain::mnMeisaiClick);
    connect(action("mnInstDir"), &QAction::triggered, this, &TfmMain::mnInstDirClick);
    connect(action("mnNewEnter"), &QAction::triggered, this, &TfmMain::btNewEnterClick);
    connect(action("mnModify"), &QAction::triggered, this, &TfmMain::btModifyClick);
    connect(action("mnDelete"), &QAction::triggered, this, &TfmMain::btDeleteClick);
    connect(action("mnCorpInfo"), &QAction::triggered, this, &TfmMain::mnCorpInfoClick);
    // Changed names, flags and rounding take effect in every employee of the period.
    connect(action("mnEnvSetting"), &QAction::triggered, this, [this] {
        if (fmOption->exec() != QDialog::Accepted) return;
        CalcAllMember(false);
        refill(false);
    });
    connect(action("mnDataEdit"), &QAction::triggered, this, &TfmMain::mnDataEditClick);
    connect(action("mnSeqNoChange"), &QAction::triggered, this, &TfmMain::mnSeqNoChangeClick);
    connect(action("mnListEdit"), &QAction::triggered, this, &TfmMain::mnListEditClick);
    connect(action("mnKinmuRead"), &QAction::triggered, this, &TfmMain::mnKinmuReadClick);
    connect(action("mnExport"), &QAction::triggered, this, &TfmMain::mnExportClick);
    connect(action("mnInport"), &QAction::triggered, this, &TfmMain::mnInportClick);
    connect(action("mnMeisaihyo"), &QAction::triggered, this, [this] {
        bool ticked = false;
        for (int i = 0; i < ListBox->count() && !ticked; ++i)
            ticked = ListBox->item(i)->checkState() == Qt::Checked;
        if (!ticked) {
            ShowError(
                QStringLiteral("印刷対象者が選択されていません。\n"
                               "(No欄のチェックボックスをチェックして選択します)"));
        } else {
            const bool month = !IsBonusPeriod(CurPeriod.Period);
            fmInji->setDocument(299, month ? QStringLiteral("給与明細書") : QStringLiteral("賞与明細書"));
            fmInji->exec();
        }
        ListBox->setFocus();
    });
    // The other documents: the ledgers show the year file, so unsaved changes are pointed out.
    const struct {
        const char* name;
        int tag;  // 500: the pay list of the open period
        const char* caption;
        bool needsTick;
        const char* unsaved;
    } documents[] = {
        {"mnKyuyoDaicho", 499, "社員別給与台帳", true,
         "変更内容を保存しないと社員別給与台帳に反映されません。"},
        {"mnKyuyoIchiran", 500, "月別給与/賞与一覧", false, nullptr},
        {"mnMeiboPrint", 100, "社員情報一覧表", false, nullptr},
        {"mnKinsyuPrint", 700, "支払金種一覧表", false, nullptr},
        {"mnKyuSyoDaicho", 600, "給与/賞与総合計台帳", false,
         "変更内容を保存しないと給与/賞与総合計台帳に反映されません。"},
        {"mnPrnJuminZei", 800, "納税市町村別住民税", false, nullptr},
    };
    for (const auto& d : documents)
        connect(action(d.name), &QAction::triggered, this, [this, d] {
            printDocument(d.tag == 500 ? 500 + CurPeriod.Period : d.tag, str(d.caption), d.needsTick,
                          d.unsaved ? str(d.unsaved) : QString());
        });
    connect(action("mnDaicho"), &QAction::triggered, this, [] { fmPrnItem->exec(); });
    action("mnTaisyoku")->setCheckable(true);
    connect(action("mnTaisyoku"), &QAction::triggered, this, &TfmMain::mnTaisyokuClick);
    connect(action("mnAllOnOffP"), &QAction::triggered, this, &TfmMain::mnAllOnOffPClick);
    connect(action("mnAllOnOffM"), &QAction::triggered, this, &TfmMain::mnAllOnOffMClick);
    connect(action("mnListInput"), &QAction::triggered, this, [] { fmListInp->exec(); });
    connect(action("mnSendMeisai"), &QAction::triggered, this, &TfmMain::mnSendMeisailClick);
    connect(action("Contents"), &QAction::triggered, this, [] { ShowHelpContents(); });
    connect(action("KeyWord"), &QAction::triggered, this, [] { ShowHelpIndex(); });
    connect(action("mnFAQ"), &QAction::triggered, this, &TfmMain::mnFAQClick);
    connect(action("mnVerCheck"), &QAction::triggered, this, [this] { mnVerCheckClick(); });
    connect(action("mnFileUpdate"), &QAction::triggered, this, [this] { mnFileUpdateClick(); });
    connect(action("mnShowLog"), &QAction::triggered, this, [] { fmShowLog->exec(); });
    connect(action("mnVerInfo"), &QAction::triggered, this, [this] {
        fmVersion->VerStr = VerStr;
        fmVersion->exec();
    });
    setTickCommands(true);
}

void TfmMain::RunAutoBackup()
{
    try {
        if (!IniFile(SysIniFileName).readBool(QStringLiteral("Cloud"), QStringLiteral("AutoBackup"), false))
            return;
    } catch (const AppError& e) {
        ShowError(e.message());
        return;
    }
    // No question and no completion message; every failure is shown.
    CloudBackup(true, TfmCloud::ProgressBox(this));
}

void TfmMain::readPlacement()
{
    const IniFile ini(SysIniFileName);
    const QString w = QStringLiteral("Window");
    QScreen* screen = QApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const int screenWidth = screen ? screen->geometry().width() : 1280;
    const int monitors = QApplication::screens().size();
    resize(FormWidth, qMax(MinHeight, ini.readInteger(w, QStringLiteral("MainFormSY"), DesignHeight)));
    const int left = ini.readInteger(w, QStringLiteral("MainFormPX"), 0);
    const int top = ini.readInteger(w, QStringLiteral("MainFormPY"), 0);
    const bool sameScreen = ini.readInteger(w, QStringLiteral("ScreenWidth"), screenWidth) == screenWidth &&
                            ini.readInteger(w, QStringLiteral("MonitorCount"), monitors) == monitors;
    if ((left != 0 || top != 0) && sameScreen)
        move(left, top);
    else
        move(avail.center() - QPoint(width() / 2, height() / 2));
}

void TfmMain::writePlacement()
{
    IniFile ini(SysIniFileName);
    const QString w = QStringLiteral("Window");
    QScreen* screen = QApplication::primaryScreen();
    ini.writeInteger(w, QStringLiteral("MainFormSX"), width());
    ini.writeInteger(w, QStringLiteral("MainFormSY"), height());
    ini.writeInteger(w, QStringLiteral("MainFormPX"), x());
    ini.writeInteger(w, QStringLiteral("MainFormPY"), y());
    ini.writeInteger(w, QStringLiteral("ScreenWidth"), screen ? screen->geometry().width() : 0);
    ini.writeInteger(w, QStringLiteral("MonitorCount"), QApplication::screens().size());
    ini.writeBool(QStringLiteral("Option"), QStringLiteral("PreViewBtn"), PreViewButtons);
    ini.save();
}

void TfmMain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    VerStr = versionString();
    if (firstActivate_) {
        firstActivate_ = false;
        // The opening sequence shows modal windows: run it once the main window is on screen.
        QTimer::singleShot(0, this, &TfmMain::FormActivate);
    }
}

void TfmMain::FormActivate()
{
    try {
        if (DownloadMode || DownloadFMode) {
            // The update runs without questions; the program ends after it (after "/Download",
            // through the start of the new program).
            if (DownloadMode)
                mnVerCheckClick(true);
            else
                mnFileUpdateClick(true);
            SkipSaveCheck = true;
            close();
            return;
        }
        if (UpdateMode) {
            const QString notes = TablePath + QStringLiteral("Tolvane2.txt");
            if (QFileInfo::exists(notes)) ShellOpen(notes);
            IniFile reg(RegistryFileName());
            const QString key = QStringLiteral("Uninstall/給与計算ソフト｢Pelmora｣");
            if (!reg.readString(key, QStringLiteral("UninstallString")).isEmpty()) {
                reg.writeString(key, QStringLiteral("DisplayVersion"), VerStr);
                reg.save();
            }
            ShowInfo(QStringLiteral("最新版に更新しました。"));
            close();
            return;
        }
        if (TableFileCount < 3) {
            QString text = QStringLiteral("必要な表データファイルが足りません。");
            if (!TableFileProblems.isEmpty())
                text += QStringLiteral("\n\n") + TableFileProblems.join(QLatin1Char('\n'));
            ShowError(text);
            close();
            return;
        }
        int count = 1;
        {
            IniFile sys(SysIniFileName);
            PreViewButtons = sys.readBool(QStringLiteral("Option"), QStringLiteral("PreViewBtn"), true);
            sys.writeString(QStringLiteral("Option"), QStringLiteral("ProgVer"), VerStr);
            sys.save();
            count = sys.readInteger(QStringLiteral("CorpData"), QStringLiteral("Count"), 1);
        }
        CheckNotice();
        // The start-up password comes before any company data is opened. Without one set, the
        // window that asks for it is not needed at all.
        const bool passed = fmInpPass.existing() ? fmInpPass->Passed : ReadPassword(pmStartup).isEmpty();
        if (!passed) {
            fmInpPass->exec();
            if (!fmInpPass->Passed) {
                close();
                return;
            }
        }
        if (CheckTaxChange(IniFileName, NewSysIni)) {
            // The rates page of the configured web host, when one is set.
            if (!WebBaseUrl().isEmpty()) OpenWebPage(WebBaseUrl() + QStringLiteral("PelmoraS.html"));
            ShowInfo(
                QStringLiteral("何れかの保険料負担率に変更が有ります。\n"
                               "ブラウザを参考に、会社情報の設定画面で変更して下さい。\n"
                               "(補足)既に変更済みの場合でもこのメッセージは表示されます。"));
        }
        if (count > 1) {
            if (fmSelCorp->exec() != QDialog::Accepted) {
                close();
                return;
            }
            IniFileName = CorpIniFile(DataPath, fmSelCorp->SelCode);
            DataPath = CorpDataFolder(DataPath, fmSelCorp->SelCode);
        } else {
            DataPath += QStringLiteral("Data2/");
        }
        LoadOption();
        LoadPrintMemo();
        // Attachments a mail composer was given in an earlier run have been read by now.
        ClearMailAttachments();
        CurPeriod.FileName = DefaultYearFile(DataPath, Today());
        const bool newDataFolder = !QFileInfo::exists(DataPath);
        // Pay and personal data: the folder is the user's alone, also when an earlier run made it.
        if (!MakePrivateFolder(DataPath)) {
            ShowError(QStringLiteral("データ用フォルダーが作成できません。"));
            close();
            return;
        }
        if (newDataFolder) {
            // The earlier version kept one data set in "Data"; it belongs to the first data set only.
            const QString old = DataRoot + QStringLiteral("Data/");
            if (IniFileName == SysIniFileName && QFileInfo(old).isDir()) {
                const TMigration m = MigrateOldData(old);
                if (m.moved > 0) ShowInfo(QStringLiteral("旧バージョンのデータを移行しました。"));
                if (!m.failed.isEmpty())
                    ShowWarning(
                        QStringLiteral(
                            "次のファイルは移行できませんでした。元のファイルは\n%1\nに残してあります。\n\n")
                            .arg(QDir::toNativeSeparators(old)) +
                        m.failed.join(QStringLiteral("\n")));
                // What could not be moved stays where it was.
                else if (DataMoved)
                    ShellDeleteTree(old);
            }
        }
        CreateYearFile(CurPeriod.FileName);
        QApplication::processEvents();
        if (fmSelData->exec() != QDialog::Accepted) {
            close();
        } else {
            UpdateMainCaption();
            if (FirstRun)
                close();
            else
                StartupPending = false;
        }
        if (ListBox->count() > 0) {
            ListBox->scrollToTop();
            ListBox->setCurrentRow(0);
        }
        logStart();
    } catch (const AppError& e) {
        ShowError(e.message());
        close();
    }
}

void TfmMain::printDocument(int tag, const QString& caption, bool needsTick, const QString& unsaved)
{
    bool ticked = false;
    for (int i = 0; i < ListBox->count() && !ticked; ++i)
        ticked = ListBox->item(i)->checkState() == Qt::Checked;
    if (needsTick && !ticked) {
        ShowError(QStringLiteral(
            "印刷対象者が選択されていません。\n(No欄のチェックボックスをチェックして選択します)"));
        ListBox->setFocus();
        return;
    }
    if (!unsaved.isEmpty()) {
        bool changed = false;
        ConfirmSaveData(false, changed);
        if (changed && MessageDlg(unsaved, MsgType::Information, MsgButtons::OkCancel) != MsgResult::Ok) {
            ListBox->setFocus();
            return;
        }
    }
    fmInji->setDocument(tag, caption);
    fmInji->exec();
    ListBox->setFocus();
}

void TfmMain::logStart()
{
    if (StartLogged) return;
    StartLogged = true;
    WriteSysLog(10);
}

void TfmMain::UpdateMainCaption()
{
    ListBox->clear();
    MainPeriodTitle = PeriodTitle();
    const bool month = !IsBonusPeriod(CurPeriod.Period);
    setWindowTitle(QStringLiteral("%1 【%2 %3】").arg(ProductName, CompanyName(), MainPeriodTitle));
    // Without a company name the company window comes first, then the first employee.
    FirstRun = CompanyName().trimmed().isEmpty();
    if (FirstRun) {
        fmCorpInfo->setFirstRun(true);
        if (fmCorpInfo->exec() != QDialog::Accepted) return;
        setWindowTitle(QStringLiteral("%1 【%2 %3】").arg(ProductName, CompanyName(), MainPeriodTitle));
        // The first employee is registered within the start: its entry follows the start's.
        if (StartupPending) logStart();
        btNewEnterClick();
        FirstRun = false;
    }
    action("mnPrnJuminZei")->setEnabled(month);
    if (month)
        LoadKyuyoItemSetting(true);
    else
        LoadSyoyoItemSetting(true);
    action("mnKinmuRead")->setEnabled(month);
    if (QAction* sb = action("sbMeisaihyo"))
        sb->setText(month ? QStringLiteral("給与明細") : QStringLiteral("賞与明細"));
    FillMemberList(1);
    // The grids now hold this period, so that a first recalculation reads what belongs to it.
    if (fmListInp) fmListInp->FormActivate(nullptr);
    const int p = CurPeriod.Period;
    if (!YearHeader.DataExists[p]) {
        CalcAllMember(true);
    } else if (month) {
        for (int e = 1; e <= MaxEmployee; ++e) {
            double& days = KintaiRec[e].Kintai[kiSyoteiNissu];
            if (IsZaiseki(e) && !(days > 0)) {
                days = CorpRec.Nissu;
                KintaiRec[e].Kintai[kiSyoteiJikan] = CorpRec.Jikan;
            }
        }
    }
    action("mnAllOnOffP")->setData(1);
    mnAllOnOffPClick();
    ListBox->scrollToTop();
    if (ListBox->count() > 0) ListBox->setCurrentRow(0);
    UpdateCommandStates();
    ListBox->setFocus();
}

void TfmMain::FillMemberList(int order)
{
    QList<Qt::CheckState> ticks;
    if (order < 1) {
        for (int i = 0; i < ListBox->count(); ++i) ticks << ListBox->item(i)->checkState();
        order = ListOrder < 1 ? 1 : ListOrder;
    }
    ListBox->clear();
    const bool showRetired = action("mnTaisyoku")->isChecked();
    for (int e : OrderedSlots(order, showRetired)) {
        auto* item = new QListWidgetItem(MakeMemberLine(e), ListBox);
        item->setData(SlotRole, e);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        if (showRetired && IsTaisyoku(e)) item->setData(RetiredRole, true);
    }
    for (int i = 0; i < ticks.size() && i < ListBox->count(); ++i) ListBox->item(i)->setCheckState(ticks[i]);
    ListOrder = order;
}

int TfmMain::slotOfRow(int row) const
{
    const QListWidgetItem* item = ListBox->item(row);
    return item ? item->data(SlotRole).toInt() : 0;
}

QList<int> TfmMain::listedSlots() const
{
    QList<int> found;
    for (int i = 0; i < ListBox->count(); ++i) found << slotOfRow(i);
    return found;
}

QList<int> TfmMain::tickedSlots() const
{
    QList<int> found;
    for (int i = 0; i < ListBox->count(); ++i)
        if (ListBox->item(i)->checkState() == Qt::Checked) found << slotOfRow(i);
    return found;
}

int TfmMain::selectedSlot() const
{
    return slotOfRow(ListBox->currentRow());
}

void TfmMain::selectSlot(int slot)
{
    const int row = listedSlots().indexOf(slot);
    if (slot >= 1 && row >= 0) ListBox->setCurrentRow(row);
}

void TfmMain::KeepTicks(int mode)
{
    if (mode == 1) {
        SavedTicks = tickedSlots();
        return;
    }
    for (int i = 0; i < ListBox->count(); ++i)
        ListBox->item(i)->setCheckState(SavedTicks.contains(slotOfRow(i)) ? Qt::Checked : Qt::Unchecked);
}

// Refills in the same order keeping selection and scroll position; ticks by position, or by slot
// when the caller kept them with KeepTicks first.
void TfmMain::refill(bool ticksBySlot)
{
    const int selected = ListBox->currentRow();
    const int top = ListBox->indexAt(QPoint(1, 1)).row();
    ListBox->setUpdatesEnabled(false);
    FillMemberList(-1);
    if (ticksBySlot) KeepTicks(2);
    if (ListBox->count() > 0) {
        if (top >= 0)
            ListBox->scrollToItem(ListBox->item(std::min(top, ListBox->count() - 1)),
                                  QAbstractItemView::PositionAtTop);
        ListBox->setCurrentRow(std::clamp(selected, 0, ListBox->count() - 1));
    }
    ListBox->setUpdatesEnabled(true);
}

void TfmMain::HeadCtrlSectionClick(int section)
{
    static const int orders[] = {1, 2, 5, 3, 4};
    if (section < 0 || section > 4) return;
    KeepTicks(1);
    FillMemberList(orders[section]);
    if (ListBox->count() > 0) ListBox->setCurrentRow(0);
    KeepTicks(2);
}

void TfmMain::mnTaisyokuClick()
{
    KeepTicks(1);
    refill(true);
}

void TfmMain::mnAllOnOffPClick()
{
    QAction* p = action("mnAllOnOffP");
    QAction* m = action("mnAllOnOffM");
    const bool tick = p->data().toInt() == 1;
    for (int i = 0; i < ListBox->count(); ++i)
        ListBox->item(i)->setCheckState(tick ? Qt::Checked : Qt::Unchecked);
    setTickCommands(!tick);
    Q_UNUSED(m);
    ListBox->setFocus();
}

void TfmMain::mnAllOnOffMClick()
{
    const bool tick = action("mnAllOnOffM")->data().toInt() == 1;
    for (int i = 0; i < ListBox->count(); ++i) {
        QListWidgetItem* item = ListBox->item(i);
        if (!tick) {
            item->setCheckState(Qt::Unchecked);
            continue;
        }
        // While retired employees are shown, their ticks are left as they are.
        if (item->data(RetiredRole).toBool()) continue;
        item->setCheckState(IsBadMailLine(item->text()) ? Qt::Unchecked : Qt::Checked);
    }
    setTickCommands(!tick);
    ListBox->setFocus();
}

void TfmMain::mnSendMeisailClick()
{
    if (!IsMapiAvailable())
        ShowError(
            QStringLiteral("御使用のパソコン環境ではメール送信機能は使用不可です。\n"
                           "(送信サーバーが設定されておらず（Tolvane.ini の [Mail]）、mailto: "
                           "を開くメールソフトもありません)"));
    bool unticked = false;
    bool ticked = false;
    for (int i = 0; i < ListBox->count(); ++i) {
        QListWidgetItem* item = ListBox->item(i);
        if (item->checkState() != Qt::Checked) continue;
        if (IsBadMailLine(item->text()) || IsTaisyoku(slotOfRow(i))) {
            item->setCheckState(Qt::Unchecked);
            unticked = true;
        } else {
            ticked = true;
        }
    }
    if (unticked) ShowInfo(QStringLiteral("不正なメールアドレス(メモ書き)と退職者の選択は外しました。"));
    if (!ticked) {
        ShowError(QStringLiteral(
            "メール送信対象者が選択されていません。\n(No欄のチェックボックスをチェックして選択します)"));
    } else {
        const bool month = !IsBonusPeriod(CurPeriod.Period);
        fmSendMail->setDocument(299, month ? QStringLiteral("給与明細書") : QStringLiteral("賞与明細書"));
        fmSendMail->exec();
    }
    ListBox->setFocus();
}

void TfmMain::setTickCommands(bool nextTicks)
{
    QAction* p = action("mnAllOnOffP");
    QAction* m = action("mnAllOnOffM");
    p->setData(nextTicks ? 1 : 0);
    m->setData(nextTicks ? 1 : 0);
    p->setText(nextTicks ? QStringLiteral("全ての社員をチェック") : QStringLiteral("全てのチェックを解除"));
    m->setText(nextTicks ? QStringLiteral("対象社員をチェック") : QStringLiteral("全てのチェックを解除"));
}

void TfmMain::UpdateCommandStates()
{
    const int n = MemberCount();
    const bool bonus = IsBonusPeriod(CurPeriod.Period);
    for (const char* name : {"mnNewEnter", "btNewEnter"}) action(name)->setEnabled(n < MaxEmployee && !bonus);
    for (const char* name : {"mnModify", "btModify"}) action(name)->setEnabled(n >= 1);
    for (const char* name : {"mnDelete", "btDelete"}) action(name)->setEnabled(n >= 1 && !bonus);
    ListBoxClick();
}

void TfmMain::ListBoxClick()
{
    const int slot = selectedSlot();
    const bool inService = slot >= 1 && slot <= MaxEmployee && IsZaiseki(slot);
    for (const char* name : {"mnDataEdit", "sbDataEdit"}) action(name)->setEnabled(inService);
}

void TfmMain::mnDataEditClick()
{
    if (!action("mnDataEdit")->isEnabled()) return;
    const int slot = selectedSlotOrTell();
    if (!slot) return;
    fmDataEdit->MembSlot = slot;
    fmDataEdit->exec();
    ListBox->setFocus();
}

int TfmMain::selectedSlotOrTell()
{
    const int slot = selectedSlot();
    if (slot < 1 || slot > MaxEmployee) {
        ShowError(QStringLiteral("処理の対象者が選択されていません。"));
        return 0;
    }
    return slot;
}

void TfmMain::btNewEnterClick()
{
    const int p = CurPeriod.Period;
    if (p <= 11 && YearHeader.DataExists[p + 1])
        ShowWarning(
            QStringLiteral("現在入力中の月の翌月データが存在します。\n"
                           "この状態で追加した社員は翌月に引き継がれません。"));
    fmMembEdit->setMember(-1, false);
    if (fmMembEdit->exec() == QDialog::Accepted) {
        CalcAllMember(false);
        refill(false);
        UpdateCommandStates();
        const int last = ListBox->count() - 1;
        // A new employee entered as retired is not ticked.
        if (last >= 0 && !IsTaisyoku(slotOfRow(last))) ListBox->item(last)->setCheckState(Qt::Checked);
        WriteSysLog(11);
    }
    ListBox->setFocus();
}

void TfmMain::btModifyClick()
{
    const int slot = selectedSlotOrTell();
    if (!slot) return;
    if (IsBonusPeriod(CurPeriod.Period) &&
        MessageDlg(QStringLiteral("賞与時に行った社員情報の修正は引き継がれません。"), MsgType::Confirmation,
                   MsgButtons::OkCancel) != MsgResult::Ok)
        return;
    KeepTicks(1);
    fmMembEdit->setMember(slot, false);
    if (fmMembEdit->exec() == QDialog::Accepted) {
        CalcAllMember(false);
        refill(true);
        UpdateCommandStates();
        WriteSysLog(12);
    }
    ListBox->setFocus();
}

void TfmMain::btDeleteClick()
{
    const int slot = selectedSlotOrTell();
    if (!slot) return;
    const QString gensen = QStringLiteral("%1源泉徴収(%2%3年).dat")
                               .arg(DataPath, CurPeriod.EraText)
                               .arg(CurPeriod.EraYear, 2, 10, QLatin1Char('0'));
    // Besides this year's file, the one the age check reads by slot (the newest, which early in a
    // year is last year's): moving the later slots down would give them other birth dates.
    if ((QFileInfo::exists(gensen) || !FindGensenFile().isEmpty()) &&
        MessageDlg(QStringLiteral("今年の源泉徴収データが作成されているため、\n"
                                  "社員削除を行うと源泉徴収データにずれが生じます。\n"
                                  "（社員削除ではなく、退職に設定する事を推奨）\n\n"
                                  "このまま社員削除を続行しますか？"),
                   MsgType::Warning, MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    const TEmployeeRec& E = SyainRec[slot];
    const QString busyo = E.Busyo.shownText().trimmed();
    const QString d =
        busyo.isEmpty() ? QString() : QStringLiteral(" ") + E.Busyo.shownText() + QStringLiteral(" ");
    const QString q =
        QStringLiteral("下記社員の登録情報を削除しますか？\n\n【%1 %2 】").arg(d, E.Simei.shownText());
    if (MessageDlg(q, MsgType::Confirmation, MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes) return;
    DeleteMember(slot);
    refill(false);
    UpdateCommandStates();
    WriteSysLog(13);
    ListBox->setFocus();
}

void TfmMain::mnSeqNoChangeClick()
{
    KeepTicks(1);
    if (fmSeqNo->exec() == QDialog::Accepted) {
        CalcAllMember(false);
        refill(true);
        UpdateCommandStates();
    }
    ListBox->setFocus();
}

void TfmMain::mnListEditClick()
{
    if (IsBonusPeriod(CurPeriod.Period) &&
        MessageDlg(QStringLiteral("賞与時に行った社員情報の修正は引き継がれません。"), MsgType::Confirmation,
                   MsgButtons::OkCancel) != MsgResult::Ok)
        return;
    KeepTicks(1);
    fmListEdit->exec();
    CalcAllMember(false);
    refill(true);
    ListBox->setFocus();
}

void TfmMain::mnKinmuReadClick()
{
    if (IsBonusPeriod(CurPeriod.Period)) return;
    if (KinmuReadInfo) {
        KinmuReadInfo = false;
        ShowInfo(QStringLiteral("別ソフト｢Kelmarin｣で作成された勤務報告データを読み込みます。"));
    }
    QFileDialog dlg(this, QStringLiteral("読み込む勤務報告データを指定して下さい。"), DataRoot,
                    QStringLiteral("勤務報告データ (*.knm)"));
    dlg.setObjectName(QStringLiteral("KinmuRead"));
    dlg.setFileMode(QFileDialog::ExistingFiles);
    if (dlg.exec() != QDialog::Accepted) return;
    QStringList bad;
    try {
        for (const QString& path : dlg.selectedFiles())
            if (const QString err = ImportKinmuFile(path, bad); !err.isEmpty()) ShowError(err);
    } catch (const AppError& e) {
        ShowError(e.message());
    }
    if (!bad.isEmpty())
        ShowWarning(QStringLiteral("次の項目は値が正しくないため読み込みませんでした。\n") +
                    bad.join(QLatin1Char('\n')));
}

QString TfmMain::chooseCsvFile(bool save)
{
    QFileDialog dlg(this);
    dlg.setObjectName(save ? QStringLiteral("SaveDlg") : QStringLiteral("OpenDlg"));
    dlg.setNameFilter(QStringLiteral("CSVﾌｧｲﾙ(*.csv)"));
    dlg.setDirectory(DataRoot);
    if (save) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix(QStringLiteral("csv"));
    } else {
        dlg.setFileMode(QFileDialog::ExistingFile);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().constFirst();
}

void TfmMain::mnExportClick()
{
    if (MessageDlg(QStringLiteral("社員情報データをCSVファイルに出力します。"), MsgType::Confirmation,
                   MsgButtons::YesNo) != MsgResult::Yes)
        return;
    const QString path = chooseCsvFile(true);
    if (path.isEmpty()) return;
    try {
        WriteFileAtomic(path, ExportMemberCsv(), QStringLiteral("社員情報のCSVファイル出力"));
        ShowInfo(QStringLiteral("指定ファイルに出力しました。"));
    } catch (const AppError& e) {
        ShowError(e.message());
    }
}

void TfmMain::mnInportClick()
{
    if (MessageDlg(QStringLiteral("社員情報のCSVファイルを読み、社員情報を更新します。"),
                   MsgType::Confirmation, MsgButtons::YesNo, MsgDefault::Safe) != MsgResult::Yes)
        return;
    const QString path = chooseCsvFile(false);
    if (path.isEmpty()) return;
    // A master of 90 employees is a few kilobytes: anything far larger is no such file.
    constexpr qint64 MaxCsvSize = 4 * 1024 * 1024;
    QByteArray bytes;
    QString reason;
    const bool read = ReadWholeFile(path, ReadKind::Chosen, bytes, reason);
    const bool tooLarge = read ? bytes.size() > MaxCsvSize : errno == EFBIG;
    if (!read && !tooLarge) {
        ShowError(QStringLiteral("指定されたファイルが開けません。\n%1").arg(reason));
        return;
    }
    if (tooLarge) {
        ShowError(QStringLiteral("不正なデータファイルなので処理を中断しました。"));
        return;
    }
    const TCsvImportResult r = ImportMemberCsv(bytes, [](const QString& name) {
        return MessageDlg(
                   QStringLiteral("存在しない社員のデータです。[氏名:%1]\nこのデータを新規登録しますか？")
                       .arg(name),
                   MsgType::Confirmation, MsgButtons::YesNo) == MsgResult::Yes;
    });
    if (!r.error.isEmpty()) {
        MessageDlg(r.error, r.full ? MsgType::Warning : MsgType::Error, MsgButtons::Ok);
        return;
    }
    ShowInfo(ImportReport(r));
    if (r.stored > 0) {
        CalcAllMember(false);
        refill(false);
        UpdateCommandStates();
        action("mnAllOnOffP")->setData(1);
        mnAllOnOffPClick();
    }
    ListBox->setFocus();
}

void TfmMain::mnCorpInfoClick()
{
    fmCorpInfo->setFirstRun(FirstRun);
    if (fmCorpInfo->exec() != QDialog::Accepted) return;
    setWindowTitle(QStringLiteral("%1 【%2 %3】").arg(ProductName, CompanyName(), MainPeriodTitle));
    CalcAllMember(false);
    refill(false);
}

void TfmMain::mnSaveFileClick()
{
    try {
        if (SavePeriod()) ShowNotice(QStringLiteral("データファイルに保存しました。"), kNoticeSelfClosing);
    } catch (const AppError& e) {
        ShowError(e.message());
    }
}

void TfmMain::mnReturnCloseClick(int tag)
{
    fmSelData->Tag = tag;
    close();
}

void TfmMain::mnMeisaiClick()
{
    QDialog* form = !IsBonusPeriod(CurPeriod.Period) ? static_cast<QDialog*>(fmPrnFormK)
                                                     : static_cast<QDialog*>(fmPrnFormS);
    if (form->exec() != QDialog::Accepted) return;
    TCalcItems items;  // the items as the window just set them
    for (int e = 1; e <= MaxEmployee; ++e) {
        if (SyainRec[e].MembKey.isEmpty()) continue;
        if (!IsBonusPeriod(CurPeriod.Period))
            CalcKyuyo(e, items);
        else
            CalcSyoyo(e, items);
    }
}

void TfmMain::mnInstDirClick()
{
    ShowInfo(QStringLiteral("給与計算PelmoraSのインストール先フォルダー名は下記の通りです。\n\n") +
             TablePath);
}

// Marks the window busy with the network for its lifetime.
class TfmMain::NetworkWait {
  public:
    explicit NetworkWait(TfmMain* w) : w_(w) { w_->networkBusy_ = true; }
    ~NetworkWait() { w_->networkBusy_ = false; }
    NetworkWait(const NetworkWait&) = delete;
    NetworkWait& operator=(const NetworkWait&) = delete;

  private:
    TfmMain* w_;
};

namespace {
const QString NoWebAddress = QStringLiteral(
    "更新情報のアドレスが設定されていません。\r"
    "設定ファイルの [Web] に BaseURL を書いてから行って下さい。");
}  // namespace

void TfmMain::CheckNotice()
{
    if (networkBusy_) return;
    TVersionInfo v;
    {
        NetworkWait wait(this);
        if (FetchVersionInfo(v, kStartupHttpLimits) != VersionFetch::Read) return;
    }
    try {
        IniFile sys(SysIniFileName);
        const QString key = QStringLiteral("NoticeDate");
        const QString text =
            NoticeText(v, sys.readString(QStringLiteral("Option"), key, QStringLiteral("1965/04/10")));
        if (text.isEmpty()) return;
        const MsgResult a = MessageDlgDetails(text, MsgType::Information, QStringLiteral("詳細表示(&D)"));
        if (a == MsgResult::Ok) {
            openPageFromNetwork(v.NoticeUrl, QStringLiteral("お知らせの詳細"));
        } else if (a == MsgResult::No) {
            sys.writeString(QStringLiteral("Option"), key, v.NoticeDate);
            sys.save();
        }
    } catch (const AppError& e) {
        ShowError(e.message());
    }
}

bool TfmMain::fetchVersionFileOrTell(TVersionInfo& v)
{
    VersionFetch got;
    {
        NetworkWait wait(this);
        got = FetchVersionInfo(v);
    }
    switch (got) {
        case VersionFetch::NoAddress:
            ShowError(NoWebAddress);
            return false;
        case VersionFetch::NoConnection:
            ShowError(QStringLiteral("インターネットに接続できません。"));
            return false;
        case VersionFetch::Read:
            break;
    }
    return true;
}

void TfmMain::openPageFromNetwork(const QString& url, const QString& what)
{
    // The address comes from the network: only a secure page is handed to the browser.
    if (IsAllowedUrl(url))
        OpenWebPage(url);
    else
        ShowError(QStringLiteral("%1のアドレスが https ではないため開きません。\r%2").arg(what, url));
}

void TfmMain::mnFAQClick()
{
    if (networkBusy_) return;
    TVersionInfo v;
    if (!fetchVersionFileOrTell(v)) return;
    OpenWebPage(WebBaseUrl() + QStringLiteral("faq.html"));
}

bool TfmMain::hasUnsavedChanges()
{
    bool changed = false;
    ConfirmSaveData(false, changed);
    return changed;
}

bool TfmMain::downloadAndInstall(UpdateKind kind, const QString& url, const QString& failed,
                                 MsgType failedType)
{
    NetworkWait wait(this);
    // The download panel's caption is its own.
    ShowNotice(QString(), kNoticeDownload);
    const TDownload d = DownloadArchive(
        url, QLatin1String(kind == UpdateKind::Program ? kProgramArchiveName : kTablesArchiveName));
    if (!d.Ok) {
        CloseNotice();
        // 中止 was the user's own choice; a fault of this computer (a full disk) is told as it is.
        if (!d.Cancelled)
            MessageDlg(d.LocalFault ? failed + u'\r' + d.Error : failed, failedType, MsgButtons::Ok);
        return false;
    }
    const TInstall t = InstallArchive(kind, d.File);
    CloseNotice();
    // Only the command an administrator is asked to run still needs the download.
    if (t.Outcome != InstallOutcome::NeedsAdmin) {
        QFile::remove(d.File);
        QFile::remove(d.File + QLatin1String(kChecksumSuffix));
    }
    if (t.Outcome == InstallOutcome::Installed) return true;
    if (t.Outcome == InstallOutcome::BadArchive)
        MessageDlg(failed, failedType, MsgButtons::Ok);
    else if (t.Outcome == InstallOutcome::NeedsAdmin || t.Outcome == InstallOutcome::NotAuthorized)
        ShowWarning(t.Message);
    else
        ShowError(t.Message);
    return false;
}

void TfmMain::mnVerCheckClick(bool unasked)
{
    if (networkBusy_) return;
    // Ctrl held down offers the update whatever version runs.
    const bool forced = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
    TVersionInfo v;
    VersionCheck check;
    {
        NetworkWait wait(this);
        check = CheckProgramVersion(forced ? QStringLiteral("0.00") : VerStr, v);
    }
    switch (check) {
        case VersionCheck::NoAddress:
            ShowError(NoWebAddress);
            return;
        case VersionCheck::NoConnection:
            ShowError(QStringLiteral("インターネットから情報が取得できません。"));
            return;
        case VersionCheck::NoInfo:
            ShowError(QStringLiteral("プログラム更新情報が有りません。"));
            return;
        case VersionCheck::UpToDate:
            ShowInfo(QStringLiteral("最新バージョンを使用中です。"));
            return;
        case VersionCheck::Newer:
            break;
    }
    if (!unasked) {
        const QString q = QStringLiteral(
                              "使用中のバージョンより新しい物が公開されています。\r"
                              "（現在のバージョン=%1、最新バージョン=%2）\r\r"
                              "変更内容を確認してから更新して下さい。")
                              .arg(VerStr, v.Latest);
        const MsgResult a = MessageDlgDetails(q, MsgType::Confirmation, QStringLiteral("変更内容(&H)"));
        if (a == MsgResult::Ok) {
            openPageFromNetwork(v.ChangesUrl, QStringLiteral("変更内容"));
            return;
        }
        if (a != MsgResult::Yes) return;
        if (hasUnsavedChanges()) {
            ShowWarning(
                QStringLiteral("変更がある場合は最新版に更新できません。\r先にデータ保存を行って下さい。"));
            return;
        }
    }
    if (!downloadAndInstall(UpdateKind::Program, v.UpdaterUrl,
                            QStringLiteral("ファイルが見つかりませんでした．"), MsgType::Warning))
        return;
    // The new program tells the user and does its housekeeping; this one ends without asking.
    SkipSaveCheck = true;
    ShellRun(TablePath + QLatin1String(kProgramName), {QStringLiteral("/Update")}, TablePath);
    close();
}

void TfmMain::mnFileUpdateClick(bool unasked)
{
    if (networkBusy_) return;
    TVersionInfo v;
    if (!fetchVersionFileOrTell(v)) return;
    if (!unasked) {
        if (hasUnsavedChanges()) {
            ShowWarning(QStringLiteral(
                "変更がある場合はデータファイルを更新できません。\r先にデータ保存を行って下さい。"));
            return;
        }
        if (VersionBefore(VerStr, v.DataMinVersion)) {
            ShowError(
                QStringLiteral("このバージョンではデータファイルの更新が出来ません。\r"
                               "最新バージョンに更新してから行って下さい。"));
            return;
        }
        const QString q =
            QStringLiteral("公開中のデータファイルの作成日付は%1です。\rデータファイルを更新しますか？")
                .arg(v.DataDate);
        if (MessageDlg(q, MsgType::Confirmation, MsgButtons::YesNo) != MsgResult::Yes) return;
    }
    if (!downloadAndInstall(UpdateKind::Tables, WebBaseUrl() + QLatin1String(kTablesArchivePath),
                            QStringLiteral("データファイルが見つかりませんでした．"), MsgType::Error))
        return;
    ShowInfo(
        QStringLiteral("データファイルを更新しました。\r変更を有効にする為、給与計算PelmoraSを終了します。"));
    // The next start reads the new tables.
    SkipSaveCheck = true;
    close();
}

bool TfmMain::FormCloseQuery()
{
    if (StartupPending || SkipSaveCheck) return true;
    for (;;) {
        bool changed = false;
        const MsgResult a = ConfirmSaveData(true, changed, action("mnSaveFile")->isEnabled());
        if (a == MsgResult::Cancel) {
            // The user stays on this period: a later close must ask to end, not go back.
            fmSelData->Tag = 0;
            return false;
        }
        if (a != MsgResult::Yes) break;
        mnSaveFileClick();
    }
    if (fmSelData->Tag != 0) {
        if (fmSelData->exec() != QDialog::Accepted) return true;
        UpdateMainCaption();
        return FirstRun;
    }
    return MessageDlg(QStringLiteral("給与計算PelmoraSを終了しますか？"), MsgType::Confirmation,
                      MsgButtons::YesNo) == MsgResult::Yes;
}

void TfmMain::FormClose()
{
    if (SkipSaveCheck) return;
    if (YearFileCreated && !YearFileSaved) {
        const QString q = QStringLiteral("作成されて保存されていない下記ファイルを削除しますか？\n【%1】")
                              .arg(CreatedYearFile);
        if (MessageDlg(q, MsgType::Confirmation, MsgButtons::YesNo, MsgDefault::Safe) == MsgResult::Yes)
            QFile::remove(CreatedYearFile);
    }
    if (StartupPending) return;
    writePlacement();
    RunAutoBackup();
}

void TfmMain::closeEvent(QCloseEvent* e)
{
    if (networkBusy_) {
        e->ignore();
        return;
    }
    bool allow = false;
    try {
        allow = FormCloseQuery();
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    if (!allow) {
        e->ignore();
        return;
    }
    try {
        FormClose();
    } catch (const AppError& err) {
        ShowError(err.message());
    }
    e->accept();
}

void TfmMain::stepEditor(int direction)
{
    const char* name = direction < 0 ? "sbBackData" : "sbNextData";
    for (QWidget* w :
         {static_cast<QWidget*>(fmMembEdit.existing()), static_cast<QWidget*>(fmDataEdit.existing())}) {
        if (!w || !w->isVisible()) continue;
        if (auto* b = w->findChild<QAbstractButton*>(QString::fromLatin1(name)); b && b->isEnabled())
            b->click();
    }
}

bool TfmMain::eventFilter(QObject* watched, QEvent* e)
{
    // The first five header sections sort the list: a hand over them, the arrow beyond.
    if (watched == HeadCtrl->viewport() && e->type() == QEvent::MouseMove) {
        const int section = HeadCtrl->logicalIndexAt(static_cast<QMouseEvent*>(e)->position().toPoint());
        HeadCtrl->viewport()->setCursor(section >= 0 && section < 5 ? Qt::PointingHandCursor
                                                                    : Qt::ArrowCursor);
    }
    // Alt+Left and the mouse's back button step the employee editors back, Alt+Right and forward on;
    // the event goes on to its target as well.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (watched == ListBox && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter)) {
            mnDataEditClick();
            return true;
        }
        if (k->modifiers() == Qt::AltModifier && !k->isAutoRepeat() && firstReceiver(watched, e)) {
            if (k->key() == Qt::Key_Left) stepEditor(-1);
            if (k->key() == Qt::Key_Right) stepEditor(1);
        }
    } else if (e->type() == QEvent::MouseButtonRelease && firstReceiver(watched, e)) {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() == Qt::BackButton) stepEditor(-1);
        if (m->button() == Qt::ForwardButton) stepEditor(1);
    }
    return QMainWindow::eventFilter(watched, e);
}
