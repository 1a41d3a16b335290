// The help window and the keys that open it.
#include "services/ui/TfmHelp.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/msgbox.h"
#include "services/help.h"

namespace {

QPointer<TfmHelp> helpWindow;

// The help window over whatever is open: a modal window blocks every window that is not its own,
// so the help window becomes a window of the modal one while that is open.
TfmHelp* helpWindowOverActive()
{
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == helpWindow) owner = nullptr;
    if (!helpWindow) helpWindow = new TfmHelp(owner);
    if (helpWindow->parentWidget() != owner) {
        const QRect at = helpWindow->geometry();
        helpWindow->setParent(owner, Qt::Window);
        helpWindow->setGeometry(at);
    }
    return helpWindow;
}

bool tellMissing()
{
    if (HelpFilesExist()) return false;
    ShowError(QStringLiteral("ヘルプファイルが見つかりません"));
    return true;
}

}  // namespace

const QWidget* FieldHelpOf(const QWidget* focus)
{
    for (const QWidget* w = focus; w && !w->isWindow(); w = w->parentWidget())
        if (!w->whatsThis().isEmpty()) return w;
    return nullptr;
}

namespace {

// The field's explanation under the field, as a tip that takes no keys: the next key goes on into
// the field as typed and closes it, Escape only closes it, and so do a click and the field left.
class FieldHelpTip : public QLabel {
  public:
    FieldHelpTip() : QLabel(nullptr, Qt::ToolTip)
    {
        setObjectName(QStringLiteral("FieldHelp"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setPalette(QToolTip::palette());
        setFont(QToolTip::font());
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setMargin(4);
        setWordWrap(true);
        setMaximumWidth(480);
    }
    void showFor(QWidget* field, const QString& text)
    {
        setText(text);
        adjustSize();
        move(field->mapToGlobal(QPoint(0, field->height() + 2)));
        show();
    }
};

// Held as a QWidget: the application's key filter still looks at it while it is being destroyed,
// when it is no FieldHelpTip any more.
QPointer<QWidget> fieldHelp;
QPointer<QWidget> fieldHelpField;  // the field the help is shown for

class HelpKeys : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (fieldHelp && fieldHelp->isVisible() && closesFieldHelp(watched, e)) return true;
        if (e->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() != Qt::Key_F1 || !watched->isWidgetType()) return false;
        QWidget* focus = QApplication::focusWidget();
        if (k->modifiers() & Qt::ShiftModifier) {
            // The field's explanation (its own, else that of the group it sits in), where it has
            // one; else nothing at all. Either way the next key goes to the field as typed.
            if (const QWidget* help = FieldHelpOf(focus)) {
                if (!fieldHelp) fieldHelp = new FieldHelpTip;
                fieldHelpField = focus;
                static_cast<FieldHelpTip*>(fieldHelp.data())->showFor(focus, help->whatsThis());
            }
            return true;
        }
        ShowHelpFor(focus ? focus : QApplication::activeWindow());
        return true;
    }

  private:
    // Closes the shown field help on a key, a click or the field left; true when the event is
    // used up by that (Escape, which would otherwise close the window).
    static bool closesFieldHelp(QObject* watched, QEvent* e)
    {
        switch (e->type()) {
            case QEvent::ShortcutOverride:
            case QEvent::KeyPress: {
                auto* k = static_cast<QKeyEvent*>(e);
                const int key = k->key();
                if (key >= Qt::Key_Shift && key <= Qt::Key_ScrollLock) return false;  // a modifier
                const bool escape = key == Qt::Key_Escape && k->modifiers() == Qt::NoModifier;
                if (escape && e->type() == QEvent::ShortcutOverride) {
                    // Kept from the window's shortcuts, to arrive as the key that closes the help.
                    e->accept();
                    return true;
                }
                // Any other key, a shortcut too, closes it and goes on.
                fieldHelp->hide();
                return escape;
            }
            case QEvent::MouseButtonPress:
                fieldHelp->hide();
                return false;
            case QEvent::FocusOut:
                if (watched == fieldHelpField) fieldHelp->hide();
                return false;
            default:
                return false;
        }
    }
};

QPointer<HelpKeys> helpKeys;

}  // namespace

TfmHelp::TfmHelp(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("fmHelp"));
    setWindowTitle(QStringLiteral("ヘルプ"));
    brHelp = new QTextBrowser(this);
    brHelp->setObjectName(QStringLiteral("brHelp"));
    brHelp->setOpenExternalLinks(true);
    btContents = new QPushButton(QStringLiteral("目次"), this);
    btContents->setObjectName(QStringLiteral("btContents"));
    btIndex = new QPushButton(QStringLiteral("キーワード"), this);
    btIndex->setObjectName(QStringLiteral("btIndex"));
    btBack = new QPushButton(QStringLiteral("戻る"), this);
    btBack->setObjectName(QStringLiteral("btBack"));
    btBack->setEnabled(false);
    auto* bar = new QHBoxLayout;
    bar->addWidget(btContents);
    bar->addWidget(btIndex);
    bar->addWidget(btBack);
    bar->addStretch();
    auto* box = new QVBoxLayout(this);
    box->addLayout(bar);
    box->addWidget(brHelp);
    resize(640, 560);
    // Closed from the keyboard as the other windows are: Escape, and Ctrl+W as in a browser.
    for (const QKeySequence& k : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(k, this), &QShortcut::activated, this, &QWidget::close);
    connect(btContents, &QPushButton::clicked, this, [this] { showPage(HelpFolder() + HelpContentsPage); });
    connect(btIndex, &QPushButton::clicked, this, [this] { showPage(HelpFolder() + HelpIndexPage); });
    connect(btBack, &QPushButton::clicked, brHelp, &QTextBrowser::backward);
    connect(brHelp, &QTextBrowser::backwardAvailable, btBack, &QPushButton::setEnabled);
    connect(brHelp, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = brHelp->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("ヘルプ") : QStringLiteral("ヘルプ - ") + title);
    });
}

void TfmHelp::showPage(const QString& path)
{
    brHelp->setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
}

QString TfmHelp::currentPage() const
{
    return brHelp->source().toLocalFile();
}

void ShowHelpContents()
{
    if (tellMissing()) return;
    helpWindowOverActive()->showPage(HelpFolder() + HelpContentsPage);
}

void ShowHelpIndex()
{
    if (tellMissing()) return;
    helpWindowOverActive()->showPage(HelpFolder() + HelpIndexPage);
}

void ShowHelpContext(int context)
{
    if (tellMissing()) return;
    const QString page = HelpPageOf(context);
    helpWindowOverActive()->showPage(page.isEmpty() ? HelpFolder() + HelpContentsPage : page);
}

void ShowHelpFor(QWidget* widget)
{
    int context = 0;
    for (QWidget* w = widget; w && !context; w = w->parentWidget())
        if (w->isWindow()) context = HelpContextOf(w->objectName());
    ShowHelpContext(context);
}

void InstallHelpKeys()
{
    if (!helpKeys) {
        helpKeys = new HelpKeys(qApp);
        qApp->installEventFilter(helpKeys);
    }
}

void RemoveHelpKeys()
{
    delete fieldHelp;
    delete helpKeys;
    delete helpWindow;
}

TfmHelp* HelpWindow()
{
    return helpWindow;
}
