// The pay and bonus slip: the frame of plain paper, the values of one employee (also into the
// preprinted continuous form "HISAGO GB1150"), the form's own ruled picture for the preview, and
// the year's cumulative figures read from the year data file.
#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>

// The slip of an employee slot (1..90; anything else draws nothing) in the upper half of the
// sheet, moved by the current page offsets. Throws IoError when the cumulative figures cannot be
// read from the year data file.
void PrintMeisai(int slot);
// The fixed frame and captions of plain paper; cash chooses the caption of the payment block.
void PrintMeisaiFrame(bool cash);
// The preprinted form as it looks before anything is printed on it: both slips of a sheet with
// their ruled, tinted boxes, the tear lines and the feed holes. The preview draws it under the
// values; it leaves the page offsets at 0.
void DrawPreprintedFormSheet();

// The slip's title, for example "令和8年 5月分給与" or "令和8年 夏期賞与".
QString MeisaiTitle();

class TYearData;

// The year's cumulative figures of a slip.
struct TRuikei {
    int64_t Kazei = 0;    // taxable payments
    int64_t Syaho = 0;    // social insurance
    int64_t Syotoku = 0;  // income tax
};
// Adds the amounts of every slot of period record n (0-based) of the open year file whose
// identity stamp is key. Throws IoError.
void ReadRuikeiMonth(TYearData& year, int n, const QByteArray& key, TRuikei& sums);
// The cumulative figures of a slot up to and including the open period: the earlier months and
// bonuses from the year file, the open period from memory. Throws IoError naming the file.
TRuikei GatherRuikei(int slot);
