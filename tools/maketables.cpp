// maketables: the build runs it to make the program's table files from the published CSV tables.
// Usage: maketables <folder of the CSV files> <output folder>
#include <QString>
#include <cstdio>

#include "platform/errors.h"
#include "tools/tablebuilder.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: maketables <csv folder> <output folder>\n");
        return 2;
    }
    try {
        tablebuilder::BuildTableFiles(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const AppError& e) {
        std::fprintf(stderr, "maketables: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
