// The maker's web host.
#include "services/webhost.h"

// The address of the maker's site; the pages and files below it are named by the program.
const QString MakerWebHost = QStringLiteral("https://www.example.jp/pelmoras/");
