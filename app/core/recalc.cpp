// Recalculation of all employees.
#include "app/core/recalc.h"

#include <QStringList>
#include <cstring>

#include "payroll/calc.h"
#include "payroll/period.h"
#include "platform/errors.h"
#include "platform/msgbox.h"

namespace {
GridReader& gridReader()
{
    static GridReader r;
    return r;
}

void clearRows(int e)
{
    std::memset(&SikyuRec[e], 0, sizeof(TSikyuRec));
    std::memset(&KoujoRec[e], 0, sizeof(TKoujoRec));
}
}  // namespace

GridReader SetGridReader(GridReader reader)
{
    GridReader old = std::move(gridReader());
    gridReader() = std::move(reader);
    return old;
}

void CalcKyuyoAll(int e, bool readGrid, TCalcItems& items)
{
    if (SyainRec[e].MembKey.isEmpty()) {
        std::memset(&KintaiRec[e], 0, sizeof(TKintaiRec));
        clearRows(e);
        return;
    }
    if (IsTaisyoku(e)) {
        clearRows(e);
        return;
    }
    if (readGrid) {
        KintaiRec[e].Kintai[kiSyoteiNissu] = CorpRec.Nissu;
        KintaiRec[e].Kintai[kiSyoteiJikan] = CorpRec.Jikan;
        if (gridReader()) gridReader()(e, false);
    }
    CalcKyuyo(e, items);
}

bool CalcSyoyoAll(int e, bool readGrid, TCalcItems& items)
{
    if (SyainRec[e].MembKey.isEmpty()) {
        std::memset(&KintaiRec[e], 0, sizeof(TKintaiRec));
        clearRows(e);
        return true;
    }
    if (IsTaisyoku(e)) {
        clearRows(e);
        return true;
    }
    if (readGrid && gridReader()) gridReader()(e, true);
    return CalcSyoyo(e, items);
}

namespace {
// The bonus results of one recalculation per slot (false: the income tax was left to the user).
using TSyoyoResult = Arr<bool, 1, MaxEmployee>;

void askManualTax(const TSyoyoResult& SyoyoResult)
{
    bool anyManual = false;
    for (int e = 1; e <= MaxEmployee; ++e)
        anyManual = anyManual || (!SyainRec[e].MembKey.isEmpty() && !SyoyoResult[e]);
    if (!anyManual) return;
    const QString question = QStringLiteral(
        "下記の何れかの例外に該当する為、所得税が自動計算されません。\n"
        "ユーザーによる所得税の計算と入力が必要です。\n"
        "　１．前月中に給与の支払いが無い。\n"
        "　２．今回支給の｢社保控除後計｣の金額が、前月中の給与等の金額\n"
        "　　　(社会保険控除後)の10倍を超えている。\n"
        "\n"
        "該当する社員の所得税を手入力モードに変更しますか？");
    if (MessageDlg(question, MsgType::Warning, MsgButtons::YesNo) != MsgResult::Yes) return;
    for (int e = 1; e <= MaxEmployee; ++e)
        if (!SyainRec[e].MembKey.isEmpty() && !SyoyoResult[e]) KoujoRec[e].KoujoManual[koSyotoku] = 1;
    ShowInfo(
        QStringLiteral("該当社員の所得税計算を手入力モードに変更しました。\n"
                       "明細入力画面にて該当社員の確認と入力を行って下さい。"));
}
}  // namespace

void CalcAllMember(bool readGrid)
{
    // An employee whose amounts do not fit keeps his rows as they were; the others are still
    // worked out, and the refusals are told together once.
    QStringList refused;
    const bool bonus = IsBonusPeriod(CurPeriod.Period);
    TCalcItems items;  // the slip items looked up once for every employee
    TSyoyoResult SyoyoResult{};
    for (int e = 1; e <= MaxEmployee; ++e) {
        try {
            if (bonus)
                SyoyoResult[e] = CalcSyoyoAll(e, readGrid, items);
            else
                CalcKyuyoAll(e, readGrid, items);
        } catch (const AppError& err) {
            if (bonus) SyoyoResult[e] = true;  // no tax question for an employee not worked out
            refused << err.message();
        }
    }
    if (bonus) askManualTax(SyoyoResult);
    refused.removeDuplicates();  // a damaged other period is told once, not for each employee
    if (!refused.isEmpty()) ShowError(refused.join(QStringLiteral("\n\n")));
}
