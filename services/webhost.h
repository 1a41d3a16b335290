// The maker's web host: product pages, the FAQ, the version file and the updaters live there.
#pragma once
#include <QString>

extern const QString MakerWebHost;  // ends with "/"
