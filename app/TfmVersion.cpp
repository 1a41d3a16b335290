// The version window: a shadowed title on a dark blue panel, the version and the table files' dates.
#include "app/TfmVersion.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/versioninfo.h"
#include "payroll/paths.h"
#include "platform/fonts.h"

TFormRef<TfmVersion> fmVersion;

namespace {
// The title drawn in black two pixels down and right, then in yellow over it.
class TitleBox : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QFont f(ScreenFace(QStringLiteral("ＭＳ Ｐゴシック")));
        f.setPointSize(17);
        f.setBold(true);
        p.setFont(f);
        const int ascent = QFontMetrics(f).ascent();
        p.setPen(Qt::black);
        p.drawText(2, 2 + ascent, ProductName);
        p.setPen(Qt::yellow);
        p.drawText(0, ascent, ProductName);
    }
};
}  // namespace

TfmVersion::TfmVersion(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmVersion"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setModal(true);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, QColor(0x00, 0x55, 0xCC));
    pal.setColor(QPalette::WindowText, Qt::white);
    panel->setPalette(pal);

    PaintBox1 = new TitleBox(panel);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setMinimumSize(320, 36);
    lbVerNo = new QLabel(panel);
    lbVerNo->setObjectName(QStringLiteral("lbVerNo"));

    auto* files = new QGroupBox(QStringLiteral("データファイル"), panel);
    auto* fileLayout = new QVBoxLayout(files);
    const QFont mono = FixedPitchFont(13);
    for (int i = 0; i < 4; ++i) {
        lbFilVer[i] = new QLabel(files);
        lbFilVer[i]->setObjectName(QStringLiteral("lbFilVer%1").arg(i + 1));
        lbFilVer[i]->setFont(mono);
        lbFilVer[i]->setMinimumWidth(QFontMetrics(mono).horizontalAdvance(QString(34, QLatin1Char('0'))));
        fileLayout->addWidget(lbFilVer[i]);
    }

    auto* inner = new QVBoxLayout(panel);
    inner->addWidget(PaintBox1);
    inner->addWidget(lbVerNo);
    inner->addWidget(files);

    auto* ok = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    ok->setObjectName(QStringLiteral("btOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

void TfmVersion::showEvent(QShowEvent* e)
{
    const QStringList lines = VersionFileLines(VersionFiles());
    for (int i = 0; i < 4; ++i) lbFilVer[i]->setText(lines.value(i));
    lbVerNo->setText(QStringLiteral("Version ") + VerStr);
    QDialog::showEvent(e);
}

void TfmVersion::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    QDialog::keyPressEvent(e);
}
