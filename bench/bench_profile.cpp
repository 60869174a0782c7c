// Measures how the INI engine copes with a very large settings file:
//   - the first read of the file (one full parse);
//   - one batch of changes written at once (one parse, one write, however many
//     changes the batch holds);
//   - with --one-by-one, the same changes as single writes, one parse and one
//     write each, which is what a batch cost while it re-parsed the file for
//     every change.
//
//   bench_profile [--sections N] [--changes K] [--runs R] [--one-by-one]
//
// The file has N sections (default 1,000,000) of two keys each, CRLF lines,
// about 40 MB. A batch sets K values (default 50): K - 2 existing keys spread
// over the file, one new key in the middle section and one new section. Each
// run writes other values than the run before, so every run rewrites the file.
// Printed: median and minimum of R runs (default 5) in milliseconds.
//
// Measured on the development machine (2 cores shared with other builds), with
// 1,000,000 sections and 50 changes: a batch that re-parsed the file for every
// change took 251 s; with one pass it takes 4 to 7.5 s, about what one read and
// one write of the file cost (first read 2.2 to 3.5 s in the same runs).
//
// Exit status: 0 when everything was measured, 2 when a write failed, 1 for a
// wrong command line.

#include "platform/ProfileEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace fetchora;

namespace {

QString sectionName(int i)
{
    return QStringLiteral("Window %1").arg(i, 7, 10, QLatin1Char('0'));
}

bool generate(const QString &path, int sections)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    for (int i = 0; i < sections; ++i) {
        chunk += '[' + sectionName(i).toLatin1() + "]\r\nLeft=" + QByteArray::number(i % 1920)
            + "\r\nTop=" + QByteArray::number(i % 1080) + "\r\n";
        if (chunk.size() > (1 << 20) || i + 1 == sections) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return true;
}

QList<ProfileWrite> batch(int sections, int changes, int run)
{
    QList<ProfileWrite> out;
    const QString value = QStringLiteral("run %1").arg(run);
    for (int i = 0; i + 2 < changes; ++i)
        out.append(
            ProfileWrite::set(sectionName(int(qint64(i) * sections / (changes - 2))), QStringLiteral("Left"), value));
    out.append(ProfileWrite::set(sectionName(sections / 2), QStringLiteral("Added"), value));
    out.append(ProfileWrite::set(QStringLiteral("Bench"), QStringLiteral("Run"), value));
    return out;
}

struct Figures
{
    double median = 0, minimum = 0;
};

Figures summary(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.front()};
}

void print(const char *what, const Figures &f)
{
    std::printf("%-34s median %9.1f ms   min %9.1f ms\n", what, f.median, f.minimum);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int sections = 1000000, changes = 50, runs = 5;
    bool oneByOne = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == QLatin1String("--sections") && hasValue)
            sections = args[++i].toInt();
        else if (args[i] == QLatin1String("--changes") && hasValue)
            changes = args[++i].toInt();
        else if (args[i] == QLatin1String("--runs") && hasValue)
            runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--one-by-one"))
            oneByOne = true;
        else
            sections = 0;
    }
    if (sections < 1 || changes < 3 || runs < 1) {
        std::fprintf(stderr, "usage: bench_profile [--sections N] [--changes K>=3] [--runs R] [--one-by-one]\n");
        return 1;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Fetchora.ini"));
    if (!dir.isValid() || !generate(path, sections)) {
        std::fprintf(stderr, "bench_profile: cannot write %s\n", qPrintable(path));
        return 2;
    }
    std::printf("%d sections (%.1f MB), %d changes, %d runs\n", sections, double(QFile(path).size()) / 1e6, changes,
                runs);

    std::vector<double> reads, writes, singles;
    int run = 0;
    for (int r = 0; r < runs; ++r) {
        ProfileEngine engine;
        QElapsedTimer timer;
        timer.start();
        const QStringList names = engine.sectionNames(path);
        reads.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (names.size() < sections)
            return std::fprintf(stderr, "bench_profile: read %lld sections\n", qlonglong(names.size())), 2;

        QString error;
        timer.start();
        if (!engine.write(path, batch(sections, changes, ++run), &error))
            return std::fprintf(stderr, "bench_profile: %s\n", qPrintable(error)), 2;
        writes.push_back(double(timer.nsecsElapsed()) / 1e6);

        if (oneByOne) {
            const QList<ProfileWrite> each = batch(sections, changes, ++run);
            timer.start();
            for (const ProfileWrite &w : each) {
                if (!engine.write(path, {w}, &error))
                    return std::fprintf(stderr, "bench_profile: %s\n", qPrintable(error)), 2;
            }
            singles.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    print("first read (one parse)", summary(reads));
    print("batch write", summary(writes));
    if (oneByOne)
        print("the same changes one by one", summary(singles));
    return 0;
}
