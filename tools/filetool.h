#pragma once

#include <QDir>
#include <QStringList>

#include <cstdio>

// The command line the tools share: TOOL OUTDIR FILE... Creates OUTDIR if
// needed and runs `each(file, outDir)` on every file, going on after one
// fails. Exit status: 0 all done, 1 some file failed, 2 usage.
template <class Each> int runOnFiles(const QStringList& args, const char* usage, Each each) {
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    const QDir outDir(args.at(1));
    if (!outDir.exists() && !QDir().mkpath(outDir.path())) {
        std::fprintf(stderr, "%s: cannot create\n", qPrintable(outDir.path()));
        return 1;
    }
    bool ok = true;
    for (qsizetype i = 2; i < args.size(); ++i) {
        ok = each(args.at(i), outDir) && ok;
    }
    return ok ? 0 : 1;
}
