// Measures the download window's engine (DownloadJob) against curl on the same
// loopback server, and the memory a large download costs.
//
//   cmake --build build -j2 --target bench_download
//   build/bench/bench_download                 5 recorded runs of each, 200 MB body
//   build/bench/bench_download --runs 9 --size-mb 500
//
// A server in a thread of this program serves one generated body of SIZE bytes
// at http://127.0.0.1:PORT/big (nothing leaves the machine). Each run downloads
// it once with `curl -s -o FILE URL` and once with DownloadJob in this process
// (streamed to a file in a temporary folder, checked against the body's
// SHA-256), alternating, after one unrecorded warm-up of each. Printed: every
// sample, the median throughput of each in MB/s, the ratio DownloadJob/curl
// (target >= 0.8), and the download's peak memory: VmHWM after the download
// minus VmRSS just before it, with the peak reset through /proc/self/clear_refs
// before each run (target < 64 MB; the largest run counts). Then one PASS or
// FAIL line per target.
//
// Before that, the time to turn a very long offered name into a file name
// (DownloadJob::safeFileName on N two-byte characters and ".exe"), for 20,000
// and 200,000 characters, median of 5 each: ten times the length must take
// about ten times as long (target: ratio <= 20; a cost that grows with the
// square of the length gives about 100). `--names` measures only that.
//
// The machine is shared, so only figures from the same run are compared, and
// medians rather than single samples. Temporary files are removed as it goes.
//
// Exit status: 0 when every figure was measured (FAIL verdicts included), 2 when
// something could not be measured (no curl, a failed download), 1 for a wrong
// command line.

#include "actions/DownloadJob.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

using namespace fetchora;

namespace {

constexpr qint64 kMiB = 1024 * 1024;
// The body is this block over and over; large enough that no cache line or
// compression trick could make one side faster.
constexpr qint64 kBlock = 1 * kMiB;
constexpr double kRatioTarget = 0.8;
constexpr double kMemoryTargetMiB = 64.0;
constexpr double kNameRatioTarget = 20.0;

QByteArray makeBlock()
{
    QByteArray block(qsizetype(kBlock), Qt::Uninitialized);
    quint64 x = 0x9E3779B97F4A7C15ull;
    for (qsizetype i = 0; i < block.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        block[i] = char(x);
    }
    return block;
}

// A plain blocking HTTP/1.1 server on 127.0.0.1, one connection at a time, in
// its own thread: the bench measures the clients, so the server must be as
// cheap as it can be. Every wait in it is bounded.
class LoopbackServer
{
public:
    LoopbackServer(const QByteArray &block, qint64 size) : m_block(block), m_size(size) { }
    ~LoopbackServer() { stop(); }

    bool start()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_listen < 0)
            return false;
        int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (::bind(m_listen, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(m_listen, 8) != 0)
            return false;
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { run(); });
        return true;
    }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listen >= 0)
            ::close(m_listen);
        m_listen = -1;
    }

    quint16 port() const { return m_port; }

private:
    void run()
    {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0)
                continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            serve(fd);
            ::close(fd);
        }
    }

    // Reads the request head (at most 64 KB, 10 s) and answers it.
    void serve(int fd)
    {
        QByteArray head;
        char buf[4096];
        QElapsedTimer clock;
        clock.start();
        while (!head.contains("\r\n\r\n")) {
            if (head.size() > 64 * 1024 || clock.elapsed() > 10000 || m_stop)
                return;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 200) <= 0)
                continue;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            head.append(buf, qsizetype(n));
        }
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        if (requestLine.value(1) != "/big") {
            sendAll(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", 0);
            return;
        }
        const QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
            + QByteArray::number(m_size) + "\r\nConnection: close\r\n\r\n";
        if (!sendAll(fd, answer.constData(), answer.size()))
            return;
        for (qint64 sent = 0; sent < m_size && !m_stop;) {
            const qint64 n = std::min<qint64>(kBlock, m_size - sent);
            if (!sendAll(fd, m_block.constData(), n))
                return;
            sent += n;
        }
        ::shutdown(fd, SHUT_WR);
    }

    bool sendAll(int fd, const char *data, qint64 size)
    {
        if (size == 0)
            size = qint64(std::strlen(data));
        while (size > 0) {
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, 10000); // a client gone quiet for 10 s is gone
            if (ready <= 0 || m_stop)
                return false;
            const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= n;
        }
        return true;
    }

    QByteArray m_block;
    qint64 m_size;
    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A field of /proc/self/status in KiB, -1 when not there.
qint64 statusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the peak (VmHWM) back to the current size, so the next peak is the
// download's own. False where the kernel does not allow it.
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write("5") == 1;
}

struct Sample
{
    double seconds = 0;
    double peakMiB = -1; // DownloadJob only
    bool ok = false;
    QString error;
};

Sample runCurl(const QString &curl, const QUrl &url, const QString &file, qint64 size)
{
    Sample s;
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(curl, {QStringLiteral("-s"), QStringLiteral("-o"), file, url.toString()});
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished(5000);
        s.error = QStringLiteral("curl did not finish");
        return s;
    }
    s.seconds = clock.nsecsElapsed() / 1e9;
    s.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && QFileInfo(file).size() == size;
    if (!s.ok)
        s.error = QStringLiteral("curl exit %1, %2 bytes").arg(p.exitCode()).arg(QFileInfo(file).size());
    QFile::remove(file);
    return s;
}

Sample runJob(QNetworkAccessManager &nam, const QUrl &url, const QString &file, qint64 size,
              const QByteArray &expectedSha, bool peakResettable)
{
    Sample s;
    DownloadJob job(&nam);
    QEventLoop loop;
    QObject::connect(&job, &DownloadJob::metaDataReady, &job, [&] { job.saveTo(file); });
    QObject::connect(&job, &DownloadJob::finished, &loop, &QEventLoop::quit);
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);

    if (peakResettable)
        resetPeak();
    const qint64 before = statusKiB("VmRSS");
    QElapsedTimer clock;
    clock.start();
    job.start(url);
    limit.start(300000);
    if (job.isRunning())
        loop.exec();
    s.seconds = clock.nsecsElapsed() / 1e9;
    const qint64 peak = statusKiB("VmHWM");
    if (before >= 0 && peak >= 0)
        s.peakMiB = double(peak - before) / 1024.0;
    if (job.isRunning()) {
        job.cancel();
        s.error = QStringLiteral("DownloadJob did not finish");
        return s;
    }
    s.ok = job.state() == DownloadJob::State::Succeeded && QFileInfo(file).size() == size
        && job.sha256() == expectedSha;
    if (!s.ok)
        s.error = job.errorText().isEmpty() ? QStringLiteral("wrong content") : job.errorText();
    QFile::remove(file);
    return s;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// Median milliseconds of safeFileName on a name of `chars` characters.
double nameMs(int chars)
{
    const QString name = QString(chars, QChar(0xE9)) + QStringLiteral(".exe");
    std::vector<double> ms;
    for (int r = 0; r < 5; ++r) {
        QElapsedTimer clock;
        clock.start();
        const QString safe = DownloadJob::safeFileName(name);
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (safe.size() != 102) // 98 two-byte characters and ".exe" fill the 200 bytes
            std::fprintf(stderr, "bench_download: unexpected name of %lld characters\n", qint64(safe.size()));
    }
    return median(ms);
}

// Prints the name measure; true when it meets its target.
bool measureNames()
{
    const double small = nameMs(20000);
    const double large = nameMs(200000);
    const double ratio = small > 0 ? large / small : 0;
    std::printf("Offered name of 20,000 characters   %8.3f ms\n", small);
    std::printf("Offered name of 200,000 characters  %8.3f ms\n", large);
    std::printf("%s name time ratio %.1f for ten times the length (target <= %.0f)\n\n",
                ratio <= kNameRatioTarget ? "PASS" : "FAIL", ratio, kNameRatioTarget);
    return ratio <= kNameRatioTarget;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 5;
    qint64 sizeMiB = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        bool ok = false;
        if (args[i] == QLatin1String("--names")) {
            measureNames();
            return 0;
        }
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = args[++i].toInt(&ok);
        else if (args[i] == QLatin1String("--size-mb") && i + 1 < args.size())
            sizeMiB = args[++i].toLongLong(&ok);
        if (!ok || runs < 1 || sizeMiB < 1) {
            std::fprintf(stderr, "usage: bench_download [--runs N] [--size-mb MB] | --names\n");
            return 1;
        }
    }
    const qint64 size = sizeMiB * kMiB;
    measureNames();

    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        std::fprintf(stderr, "bench_download: curl is not installed\n");
        return 2;
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "bench_download: no temporary folder\n");
        return 2;
    }

    const QByteArray block = makeBlock();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (qint64 done = 0; done < size; done += kBlock)
        hash.addData(QByteArrayView(block.constData(), qsizetype(std::min(kBlock, size - done))));
    const QByteArray expectedSha = hash.result().toHex();

    LoopbackServer server(block, size);
    if (!server.start()) {
        std::fprintf(stderr, "bench_download: the loopback server could not start\n");
        return 2;
    }
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/big").arg(server.port()));
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkAccessManager nam;
    nam.setProxy(QNetworkProxy::NoProxy);

    const bool resettable = resetPeak();
    const QString curlFile = work.filePath(QStringLiteral("curl.bin"));
    const QString jobFile = work.filePath(QStringLiteral("job.bin"));

    std::printf("Download of %lld MB from 127.0.0.1, %d runs of each (after one warm-up)\n",
                static_cast<long long>(sizeMiB), runs);
    if (!resettable)
        std::printf("note: /proc/self/clear_refs not writable; peak memory includes what came before\n");

    // Warm-up: page cache, the dynamic loader, the first connection.
    for (const Sample &s :
         {runCurl(curl, url, curlFile, size), runJob(nam, url, jobFile, size, expectedSha, resettable)}) {
        if (!s.ok) {
            std::fprintf(stderr, "bench_download: warm-up failed: %s\n", qPrintable(s.error));
            return 2;
        }
    }

    std::vector<double> curlRates, jobRates;
    double worstPeak = -1;
    for (int r = 0; r < runs; ++r) {
        // Alternating which goes first, so neither always follows the other.
        Sample c, j;
        if (r % 2 == 0) {
            c = runCurl(curl, url, curlFile, size);
            j = runJob(nam, url, jobFile, size, expectedSha, resettable);
        } else {
            j = runJob(nam, url, jobFile, size, expectedSha, resettable);
            c = runCurl(curl, url, curlFile, size);
        }
        if (!c.ok || !j.ok) {
            std::fprintf(stderr, "bench_download: run %d failed: %s\n", r + 1, qPrintable(!c.ok ? c.error : j.error));
            return 2;
        }
        const double mb = double(size) / double(kMiB);
        curlRates.push_back(mb / c.seconds);
        jobRates.push_back(mb / j.seconds);
        worstPeak = std::max(worstPeak, j.peakMiB);
        std::printf("  run %d: curl %7.1f MB/s (%.3f s)   DownloadJob %7.1f MB/s (%.3f s, peak +%.1f MB)\n", r + 1,
                    curlRates.back(), c.seconds, jobRates.back(), j.seconds, j.peakMiB);
    }

    const double curlMedian = median(curlRates);
    const double jobMedian = median(jobRates);
    const double ratio = curlMedian > 0 ? jobMedian / curlMedian : 0;
    std::printf("\n%-34s %10s\n", "Measure", "Value");
    std::printf("%-34s %10.1f\n", "curl, median MB/s", curlMedian);
    std::printf("%-34s %10.1f\n", "DownloadJob, median MB/s", jobMedian);
    std::printf("%-34s %10.2f   (target >= %.1f)\n", "Ratio DownloadJob/curl", ratio, kRatioTarget);
    std::printf("%-34s %10.1f   (target < %.0f MB)\n", "Peak memory of a download, MB", worstPeak, kMemoryTargetMiB);
    std::printf("\n%s throughput ratio %.2f (target >= %.1f)\n", ratio >= kRatioTarget ? "PASS" : "FAIL", ratio,
                kRatioTarget);
    const bool memoryMeasured = worstPeak >= 0;
    std::printf("%s peak memory %.1f MB (target < %.0f MB)\n",
                !memoryMeasured ? "FAIL" : (worstPeak < kMemoryTargetMiB ? "PASS" : "FAIL"), worstPeak,
                kMemoryTargetMiB);
    server.stop();
    return memoryMeasured ? 0 : 2;
}
