// The font chooser: the faces from platform/fonts, each entry in its own face.
#include "payroll/ui/TfmSelFont.h"

#include <QCheckBox>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/fonts.h"
#include "platform/formkit.h"

TFormRef<TfmSelFont> fmSelFont;

TfmSelFont::TfmSelFont(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmSelFont"));
    setWindowTitle(QStringLiteral("フォントの選択"));
    setModal(true);
    ListBox = Named<QListWidget>(this, "ListBox");
    ListBox->setUniformItemSizes(true);
    ListBox->setMinimumWidth(220);
    auto* gbName = new QGroupBox(QStringLiteral("選択フォント名"), this);
    lbFontName = Named<QLabel>(gbName, "lbFontName");
    (new QVBoxLayout(gbName))->addWidget(lbFontName);
    auto* gbStyle = new QGroupBox(QStringLiteral("スタイル"), this);
    cbBold = Named<QCheckBox>(gbStyle, "cbBold", QStringLiteral("太字(Bold)"));
    cbItalic = Named<QCheckBox>(gbStyle, "cbItalic", QStringLiteral("斜字体(Italic)"));
    cbItalic->setEnabled(false);
    auto* style = new QVBoxLayout(gbStyle);
    style->addWidget(cbBold);
    style->addWidget(cbItalic);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setMinimumSize(460, 120);
    lbPreView16 = Named<QLabel>(panel, "lbPreView16");
    lbPreView28 = Named<QLabel>(panel, "lbPreView28");
    auto* preview = new QVBoxLayout(panel);
    preview->addWidget(lbPreView16);
    preview->addWidget(lbPreView28);
    auto* btOk = Named<QPushButton>(this, "btOk", QStringLiteral("Ｏ Ｋ"));
    auto* btCancel = Named<QPushButton>(this, "btCancel", QStringLiteral("キャンセル"));
    auto* right = new QVBoxLayout;
    right->addWidget(gbName);
    right->addWidget(gbStyle);
    right->addStretch();
    right->addWidget(btOk);
    right->addWidget(btCancel);
    auto* top = new QHBoxLayout;
    top->addWidget(ListBox, 1);
    top->addLayout(right);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addWidget(panel);
    connect(ListBox, &QListWidget::currentRowChanged, this, [this] { ListBoxClick(); });
    connect(cbBold, &QCheckBox::toggled, this, [this] { ListBoxClick(); });
    connect(btOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfmSelFont::prepare(const QString& caption, const QString& fontName, const QString& sample)
{
    setWindowTitle(caption);
    cbBold->setChecked(false);
    cbItalic->setChecked(false);
    lbFontName->setText(fontName);
    lbPreView16->setText(sample);
}

QString TfmSelFont::fontName() const
{
    return lbFontName->text();
}

void TfmSelFont::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormActivate();
}

void TfmSelFont::FormActivate()
{
    const QString current = lbFontName->text();
    const QSignalBlocker block(ListBox);
    ListBox->clear();
    for (const QString& face : FixedPitchJapaneseFaces()) {
        auto* item = new QListWidgetItem(face, ListBox);
        QFont f(face);
        f.setPointSize(11);
        item->setFont(f);
    }
    // The face itself; else the face listed under another of its names, or the face a Windows name
    // of the settings is drawn with, which then stands for that name, so that OK keeps it; else
    // the first face.
    alias_.clear();
    aliasRow_ = -1;
    int row = -1;
    for (int i = 0; i < ListBox->count() && row < 0; ++i)
        if (ListBox->item(i)->text() == current) row = i;
    // A face kept under its name in another language (IPAゴシック on an English desktop).
    const QString listed = ListedFamilyName(current);
    for (int i = 0; i < ListBox->count() && row < 0 && !listed.isEmpty(); ++i)
        if (ListBox->item(i)->text() == listed) row = aliasRow_ = i;
    for (const QString& s : QFont::substitutes(current)) {
        for (int i = 0; i < ListBox->count() && row < 0; ++i)
            if (ListBox->item(i)->text().compare(s, Qt::CaseInsensitive) == 0) row = aliasRow_ = i;
    }
    if (aliasRow_ >= 0) alias_ = current;
    if (row < 0 && ListBox->count() > 0) row = 0;
    ListBox->setCurrentRow(row);
    ListBoxClick();
    ListBox->setFocus();
}

void TfmSelFont::ListBoxClick()
{
    const int row = ListBox->currentRow();
    if (row < 0) return;
    const QString face = ListBox->item(row)->text();
    QFont f(face);
    f.setBold(cbBold->isChecked());
    f.setItalic(cbItalic->isChecked());
    f.setPointSize(16);
    lbPreView16->setFont(f);
    f.setPointSize(28);
    lbPreView28->setFont(f);
    lbPreView28->setText(lbPreView16->text());
    lbFontName->setText(row == aliasRow_ ? alias_ : face);
}
