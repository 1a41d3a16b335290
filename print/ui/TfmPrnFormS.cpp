// The bonus-slip item window over the bonus-slip settings of the core.
#include "print/ui/TfmPrnFormS.h"

TFormRef<TfmPrnFormS> fmPrnFormS;

TfmPrnFormS::TfmPrnFormS(QWidget* parent) : TfmPrnFormBase(false, parent)
{
    setObjectName(QStringLiteral("fmPrnFormS"));
    setWindowTitle(QStringLiteral("賞与明細書印刷項目の設定"));
}

void TfmPrnFormS::LoadSyoyoItemSetting(bool Apply)
{
    ::LoadSyoyoItemSetting(Apply);
}

void TfmPrnFormS::publishItems()
{
    PublishSyoyoItems();
}

void TfmPrnFormS::saveItems()
{
    SaveSyoyoItemSetting();
}

void TfmPrnFormS::setDefaultItems()
{
    SetDefaultSyoyoItems();
}
