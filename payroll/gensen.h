// The data file of the separate withholding-slip program, which holds the employees' birth dates.
#pragma once
#include <QString>

// The newest usable "源泉徴収(%s%.2d年).dat" of the data folder: 令和 years 2..25, then (only
// when none was found) 平成 years 28..31; the last existing file of at least 135,300 bytes wins.
// Empty when none is usable.
QString FindGensenFile();
