// The bonus-slip item window: which payment, deduction and other items a bonus slip shows in
// which row, per pay type. Bonus slips have no attendance rows.
#pragma once
#include "platform/formref.h"
#include "print/ui/TfmPrnFormBase.h"

class TfmPrnFormS : public TfmPrnFormBase {
    Q_OBJECT
  public:
    explicit TfmPrnFormS(QWidget* parent = nullptr);

    // Reads the bonus-slip settings into the item arrays; with Apply also publishes them, as the
    // opening of a bonus period does.
    void LoadSyoyoItemSetting(bool Apply);

  protected:
    void loadItems(bool apply) override { LoadSyoyoItemSetting(apply); }
    void publishItems() override;
    void saveItems() override;
    void setDefaultItems() override;
};

extern TFormRef<TfmPrnFormS> fmPrnFormS;
