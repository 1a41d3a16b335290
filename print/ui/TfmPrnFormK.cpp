// The pay-slip item window over the pay-slip settings of the core.
#include "print/ui/TfmPrnFormK.h"

TFormRef<TfmPrnFormK> fmPrnFormK;

TfmPrnFormK::TfmPrnFormK(QWidget* parent) : TfmPrnFormBase(true, parent)
{
    setObjectName(QStringLiteral("fmPrnFormK"));
    setWindowTitle(QStringLiteral("給与明細書印刷項目の設定"));
}

void TfmPrnFormK::LoadKyuyoItemSetting(bool Apply)
{
    ::LoadKyuyoItemSetting(Apply);
}

void TfmPrnFormK::publishItems()
{
    PublishKyuyoItems();
}

void TfmPrnFormK::saveItems()
{
    SaveKyuyoItemSetting();
}

void TfmPrnFormK::setDefaultItems()
{
    SetDefaultKyuyoItems();
}
