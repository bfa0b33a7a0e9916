#include <QtTest>

#include "move_latency.h"
#include "proc_stats.h"
#include "sample_stats.h"

namespace {

// A /proc/PID/stat line with the given command name and utime/stime.
QByteArray statLine(const QByteArray& comm, const QByteArray& utime, const QByteArray& stime) {
    return "4242 (" + comm + ") S 1 4242 4242 0 -1 4194560 1200 0 0 0 " + utime + " " + stime +
           " 0 0 20 0 3 0 123456 500000000 9000 18446744073709551615";
}

const char* kStatus =
    "Name:\tshatter\n"
    "VmHWM:\t  150000 kB\n"
    "VmRSS:\t   61440 kB\n"
    "voluntary_ctxt_switches:\t17\n"
    "nonvoluntary_ctxt_switches:\t4\n";

}  // namespace

class TestBenchSupport : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void statTicks_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<long long>("ticks");  // -1: refused
        QTest::newRow("plain") << statLine("shatter", "250", "40") << 290LL;
        // The name is the program's own choice: spaces and ')' must not shift the fields.
        QTest::newRow("name with spaces and parens") << statLine("a b) S 9 9 (c", "7", "3") << 10LL;
        QTest::newRow("zero") << statLine("x", "0", "0") << 0LL;
        QTest::newRow("cut before stime") << QByteArray("1 (x) S 1 1 1 0 -1 0 0 0 0 0 12") << -1LL;
        QTest::newRow("no closing paren") << QByteArray("1 (x S 1 1") << -1LL;
        QTest::newRow("garbage in utime") << statLine("x", "abc", "3") << -1LL;
        QTest::newRow("empty") << QByteArray() << -1LL;
    }
    void statTicks() {
        QFETCH(QByteArray, line);
        QFETCH(long long, ticks);
        const auto got = ProcStats::parseStatTicks(std::string_view(line.constData(), line.size()));
        QCOMPARE(got.value_or(-1), ticks);
    }

    void statusField_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<long>("value");  // -1: not found
        QTest::newRow("unit dropped") << QByteArray("VmRSS") << 61440L;
        QTest::newRow("first line") << QByteArray("VmHWM") << 150000L;
        // "nonvoluntary_..." ends with the other key; only a whole key at a line start counts.
        QTest::newRow("suffix of another key") << QByteArray("voluntary_ctxt_switches") << 17L;
        QTest::newRow("longer key") << QByteArray("nonvoluntary_ctxt_switches") << 4L;
        QTest::newRow("prefix of a key") << QByteArray("VmRS") << -1L;
        QTest::newRow("text value") << QByteArray("Name") << -1L;
        QTest::newRow("missing") << QByteArray("VmSwap") << -1L;
    }
    void statusField() {
        QFETCH(QByteArray, key);
        QFETCH(long, value);
        const auto got = ProcStats::parseStatusField(
            kStatus, std::string_view(key.constData(), size_t(key.size())));
        QCOMPARE(got.value_or(-1), value);
    }

    void ownProcess() {
        // The real files of this very process parse, and it has used some memory.
        const ProcStats self(getpid());
        QVERIFY(self.cpuSeconds().has_value());
        QVERIFY(self.residentKb().value_or(0) > 0);
        QVERIFY(self.mainThreadSwitches().has_value());
        QVERIFY(!ProcStats(999999999).cpuSeconds().has_value());
    }

    void stats_data() {
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<double>("median");
        QTest::addColumn<double>("p90");
        QTest::addColumn<double>("atMost5");
        QTest::newRow("empty") << QList<double>{} << 0.0 << 0.0 << 0.0;
        QTest::newRow("one") << QList<double>{7} << 7.0 << 7.0 << 0.0;
        QTest::newRow("odd, unsorted") << QList<double>{9, 1, 5} << 5.0 << 9.0 << 2.0 / 3;
        QTest::newRow("even: mean of the middle two")
            << QList<double>{4, 1, 3, 10} << 3.5 << 10.0 << 0.75;
        QTest::newRow("ten") << QList<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10} << 5.5 << 9.0 << 0.5;
    }
    void stats() {
        QFETCH(QList<double>, values);
        QFETCH(double, median);
        QFETCH(double, p90);
        QFETCH(double, atMost5);
        const SampleStats s(std::vector<double>(values.begin(), values.end()));
        QCOMPARE(s.median(), median);
        QCOMPARE(s.quantile(0.9), p90);
        QCOMPARE(s.shareAtMost(5), atMost5);
    }

    void latency_data() {
        // Moves along y = 10 at x = 0, 1, 2, ... sent at t = x ms; then updates.
        QTest::addColumn<int>("moves");
        QTest::addColumn<QList<QRect>>("rects");
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<QList<double>>("latencies");
        QTest::addColumn<int>("pending");
        QTest::newRow("one update per move")
            << 3 << QList<QRect>{{0, 10, 1, 1}, {1, 10, 1, 1}, {2, 10, 1, 1}}
            << QList<double>{0.5, 1.5, 2.5} << QList<double>{0.5, 0.5, 0.5} << 0;
        QTest::newRow("merged moves settle together")
            << 4 << QList<QRect>{{0, 10, 4, 1}} << QList<double>{10} << QList<double>{10, 9, 8, 7}
            << 0;
        // An update showing only the newest point still settles the older moves, late.
        QTest::newRow("older moves settled by a newer hit")
            << 3 << QList<QRect>{{2, 9, 1, 3}} << QList<double>{5} << QList<double>{5, 4, 3} << 0;
        QTest::newRow("update before the move does not count")
            << 2 << QList<QRect>{{1, 10, 1, 1}} << QList<double>{0.5} << QList<double>{} << 2;
        QTest::newRow("right and bottom edges are outside")
            << 1 << QList<QRect>{{-1, 10, 1, 1}, {0, 9, 1, 1}} << QList<double>{3, 3}
            << QList<double>{} << 1;
        QTest::newRow("unrelated repaint leaves moves pending")
            << 2 << QList<QRect>{{500, 500, 20, 20}, {0, 0, 2, 20}} << QList<double>{1, 4}
            << QList<double>{4, 3} << 0;
    }
    void latency() {
        QFETCH(int, moves);
        QFETCH(QList<QRect>, rects);
        QFETCH(QList<double>, times);
        QFETCH(QList<double>, latencies);
        QFETCH(int, pending);
        MoveLatency tracker;
        for (int i = 0; i < moves; ++i) tracker.sent(i, 10, i);
        for (qsizetype i = 0; i < rects.size(); ++i) {
            const QRect& r = rects[i];
            tracker.damaged({r.x(), r.y(), r.width(), r.height()}, times[i]);
        }
        QCOMPARE(QList<double>(tracker.latencies().begin(), tracker.latencies().end()), latencies);
        QCOMPARE(int(tracker.pending()), pending);
    }
};

QTEST_APPLESS_MAIN(TestBenchSupport)
#include "tst_bench_support.moc"
