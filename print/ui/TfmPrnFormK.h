// The pay-slip item window: which attendance, payment, deduction and other items a pay slip
// shows in which row, per pay type.
#pragma once
#include "platform/formref.h"
#include "print/ui/TfmPrnFormBase.h"

class TfmPrnFormK : public TfmPrnFormBase {
    Q_OBJECT
  public:
    explicit TfmPrnFormK(QWidget* parent = nullptr);

    // Reads the pay-slip settings into the item arrays; with Apply also publishes them, as the
    // opening of a month does.
    void LoadKyuyoItemSetting(bool Apply);

  protected:
    void loadItems(bool apply) override { LoadKyuyoItemSetting(apply); }
    void publishItems() override;
    void saveItems() override;
    void setDefaultItems() override;
};

extern TFormRef<TfmPrnFormK> fmPrnFormK;
