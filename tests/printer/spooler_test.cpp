// RAW spooling through a private cupsd to a fake socket printer on 127.0.0.1.
#include "printer/spooler.h"

#include "printer/cups_connection.h"
#include "actions/startup.h"
#include "core/texts.h"
#include "actions/actions.h"
#include "core/progress.h"
#include "model/media.h"
#include "image/load.h"
#include "image/placement.h"
#include "job/job.h"
#include "model/models.h"
#include "actions/defaults.h"
#include "settings/settings.h"
#include "tests/support/cups_fixture.h"
#include "tests/support/test_support.h"

#include <QImage>
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <memory>
#include <random>
#include <unistd.h>

using testsupport::CaptureListener;
using testsupport::PrivateCupsd;
using testsupport::TempDir;
using testsupport::TestState;

namespace {

const std::string kQueue = "oki_c711wt_lab"; // created in lower case, printed to in upper case
const std::string kLongQueue = std::string("OKI_C711WT_") + std::string(49, 'L'); // 60 characters
const std::string kFailQueue = "OKI_C711WT_FAILING";

// A backend that fails every job; with the abort-job policy CUPS aborts the job.
const char* kFailingBackend = "#!/bin/sh\n"
                              "[ $# -eq 0 ] && exit 0\n"
                              "echo 'ERROR: the test printer refuses every job' >&2\n"
                              "exit 1\n";

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

std::vector<std::string> statuses(const testsupport::RecordingUserInterface& ui) {
    std::vector<std::string> out;
    for (const auto& c : ui.calls)
        if (c.kind == "status") out.push_back(c.text);
    return out;
}
std::vector<int> progresses(const testsupport::RecordingUserInterface& ui) {
    std::vector<int> out;
    for (const auto& c : ui.calls)
        if (c.kind == "progress") out.push_back(c.value);
    return out;
}

// Jobs of a queue as CUPS reports them: title and document format of the newest.
// A job whose image data is held in memory.
PrintJobParts heldJob(std::string header, std::string imageData, std::string trailer) {
    PrintJobParts parts;
    parts.header = std::move(header);
    parts.imageData = std::move(imageData);
    parts.trailer = std::move(trailer);
    return parts;
}

struct JobInfo {
    std::string title, format;
};
JobInfo newestJob(const std::string& queue) {
    cups_job_t* jobs = nullptr;
    int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
    JobInfo info;
    int best = -1;
    for (int i = 0; i < n; ++i)
        if (best < 0 || jobs[i].id > jobs[best].id) best = i;
    if (best >= 0) {
        info.title = jobs[best].title ? jobs[best].title : "";
        info.format = jobs[best].format ? jobs[best].format : "";
    }
    cupsFreeJobs(n, jobs);
    return info;
}

class Spooler : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        capture_ = std::make_unique<CaptureListener>();
        cupsd_ = std::make_unique<PrivateCupsd>(dir_->path);
        cupsd_->addBackend("failing", kFailingBackend);
        if (!capture_->ok()) {
            error_ = "the capture listener could not listen on 127.0.0.1";
            return;
        }
        if (!cupsd_->start(error_)) return;
        const std::string uri =
            "socket://127.0.0.1:" + std::to_string(capture_->port()) + "/?snmp=false";
        ok_ = cupsd_->addQueue(kQueue, uri, true, error_) &&
              cupsd_->addQueue(kLongQueue, uri, true, error_) &&
              cupsd_->addQueue(kFailQueue, "failing://refuses/", true, error_,
                               {"-o", "printer-error-policy=abort-job"});
    }
    static void TearDownTestSuite() {
        if (cupsd_) cupsd_->cancelAll();
        cupsd_.reset();
        capture_.reset();
        dir_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(ok_) << "the private cupsd could not be set up: " << error_;
        // Another test may have pointed libcups elsewhere.
        setenv("CUPS_SERVER", cupsd_->socketPath().c_str(), 1);
        cupsSetServer(cupsd_->socketPath().c_str());
    }

    // Waits for the next captured job after `before` and returns it.
    static std::string nextJob(std::size_t before) {
        EXPECT_TRUE(capture_->waitForJobs(before + 1, 30000))
            << "no job reached the printer; cupsd log:\n"
            << cupsd_->errorLog();
        auto jobs = capture_->jobs();
        return jobs.size() > before ? jobs[before] : std::string();
    }

    static inline std::unique_ptr<TempDir> dir_;
    static inline std::unique_ptr<CaptureListener> capture_;
    static inline std::unique_ptr<PrivateCupsd> cupsd_;
    static inline bool ok_ = false;
    static inline std::string error_;
};

TEST_F(Spooler, JobPartsArriveByteForByteInOrder) {
    TestState ts;
    PrintJobParts parts;
    for (int i = 0; i < 256; ++i)
        parts.header += static_cast<char>(i);
    parts.header += "\r\n%!PS-Adobe-3.0\r\n";
    parts.imageData = randomBytes(3 * 1024 * 1024 + 7, 1);
    parts.trailer = std::string("\r\nshowpage\r\n\x1b%-12345X@PJL EOJ\r\n\x1b%-12345X\x04", 33);
    const std::string expected = parts.header + parts.imageData + parts.trailer;

    const std::size_t before = capture_->jobs().size();
    // The printer box holds queue names in upper case; CUPS finds the queue all the same.
    ASSERT_TRUE(spoolAndReport(ts.state, "OKI_C711WT_LAB", "picture.png 2 x3", parts));
    const std::string got = nextJob(before);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "the printer received other bytes than the job";

    EXPECT_TRUE(parts.header.empty() && parts.imageData.empty() && parts.trailer.empty());
    EXPECT_TRUE(ts.ui.messages().empty());
    EXPECT_EQ(statuses(ts.ui),
              (std::vector<std::string>{text(ts.state.language, 40), text(ts.state.language, 41)}));
    EXPECT_EQ(progresses(ts.ui), (std::vector<int>{10, 20, 90, 100}));
    EXPECT_EQ(ts.state.window.statusText, "<<<<<    Sent to Printer   >>>>>");

    const JobInfo job = newestJob(kQueue);
    EXPECT_EQ(job.title, "picture.png 2 x3");
    EXPECT_EQ(job.format, CUPS_FORMAT_RAW);
}

TEST_F(Spooler, RawBytesAndTheWholeLongQueueName) {
    TestState ts;
    ASSERT_EQ(kLongQueue.size(), 60u);
    const std::string bytes =
        std::string("\x1b%-12345X@PJL\r\n", 15) + randomBytes(5000, 2) + std::string("\x04\x04", 2);
    const std::size_t before = capture_->jobs().size();
    ASSERT_TRUE(spoolBytesAndReport(ts.state, kLongQueue, "DX-Blank", bytes));
    EXPECT_TRUE(nextJob(before) == bytes);
    EXPECT_EQ(newestJob(kLongQueue).title, "DX-Blank");
    EXPECT_EQ(progresses(ts.ui), (std::vector<int>{10, 90, 100}));
    EXPECT_TRUE(ts.ui.messages().empty());
}

struct FailureCase {
    const char* name;
    std::string queue;
    std::string reasonPart;
};

TEST_F(Spooler, FailuresAreReportedAndNeverSentToPrinter) {
    const std::vector<FailureCase> cases = {
        {"missing queue", "OKI_C711WT_NOWHERE", "does not exist"},
        {"cut name", kLongQueue.substr(0, 49), "does not exist"},
        {"no queue chosen", "", "no printer queue is selected"},
        {"aborted job", kFailQueue, "aborted"},
    };
    for (const auto& c : cases) {
        TestState ts;
        PrintJobParts parts = heldJob("header\r\n", std::string(1000, '\x11'), "trailer\r\n");
        EXPECT_FALSE(spoolAndReport(ts.state, c.queue, "doc", parts, 20000)) << c.name;
        const auto msgs = ts.ui.messages();
        ASSERT_EQ(msgs.size(), 1u) << c.name;
        EXPECT_NE(msgs[0].text.find("\"" + c.queue + "\""), std::string::npos)
            << c.name << ": " << msgs[0].text;
        EXPECT_NE(msgs[0].text.find(c.reasonPart), std::string::npos)
            << c.name << ": " << msgs[0].text;
        for (const auto& s : statuses(ts.ui))
            EXPECT_NE(s, text(ts.state.language, 41)) << c.name;
        EXPECT_EQ(ts.state.window.statusText, text(ts.state.language, 33)) << c.name;
        EXPECT_EQ(ts.state.window.progress, 0) << c.name;
        EXPECT_TRUE(parts.imageData.empty()) << c.name;
    }
}

TEST_F(Spooler, FailedWriteIsReported) {
    // A scheduler that refuses requests above 64 KiB: the document write fails half way.
    TempDir d;
    PrivateCupsd small(d.path);
    small.setMaxRequestSize(64 * 1024);
    std::string error;
    ASSERT_TRUE(small.start(error)) << error;
    ASSERT_TRUE(small.addQueue(
        "OKI_C711WT_SMALL",
        "socket://127.0.0.1:" + std::to_string(capture_->port()) + "/?snmp=false", true, error))
        << error;
    TestState ts;
    const std::size_t before = capture_->jobs().size();
    PrintJobParts parts = heldJob("header\r\n", randomBytes(4 * 1024 * 1024, 3), "trailer\r\n");
    EXPECT_FALSE(spoolAndReport(ts.state, "OKI_C711WT_SMALL", "doc", parts));
    const auto msgs = ts.ui.messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_NE(msgs[0].text.find("\"OKI_C711WT_SMALL\""), std::string::npos) << msgs[0].text;
    EXPECT_NE(ts.state.window.statusText, text(ts.state.language, 41));
    // The half-sent job does not stay in the queue.
    cups_job_t* jobs = nullptr;
    const int active =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "OKI_C711WT_SMALL", 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(active, jobs);
    EXPECT_EQ(active, 0);
    small.stop();
    EXPECT_EQ(capture_->jobs().size(), before);
}

TEST_F(Spooler, CancelWhileTheImageGoesRemovesTheJob) {
    // Cancels once the bar passes 30 %, that is while the image data is produced.
    struct CancelPast30 : ProgressSink {
        void step(int, int percent) override {
            if (percent > 30) requestCancel();
        }
    } cancelSink;
    TestState ts;
    ProgressScope scope(ts.state, &cancelSink);
    PrintJobParts parts;
    parts.header = "%!PS\r\n";
    parts.trailer = "\r\n%%EOF\r\n";
    parts.imageBytes = 8u << 20;
    int produced = 0;
    parts.produceImage = [&](const std::function<bool(std::string_view)>& sink) {
        const std::string block(1u << 20, '\x22');
        for (int i = 0; i < 8; ++i, ++produced)
            if (!sink(block)) return false;
        return true;
    };
    const std::size_t before = capture_->jobs().size();
    EXPECT_FALSE(spoolAndReport(ts.state, kQueue, "doc", parts));
    EXPECT_LT(produced, 8) << "the image data went on after the cancel";
    EXPECT_TRUE(ts.ui.messages().empty()) << "a cancel by the user is not an error";
    EXPECT_EQ(ts.state.window.statusText, text(ts.state.language, 33));
    EXPECT_EQ(ts.state.window.progress, 0);
    cups_job_t* jobs = nullptr;
    const int active =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, kQueue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(active, jobs);
    EXPECT_EQ(active, 0);
    EXPECT_EQ(capture_->jobs().size(), before) << "a part of the cancelled job reached the printer";
}

TEST_F(Spooler, StoppedServerIsReported) {
    TempDir d;
    PrivateCupsd gone(d.path);
    std::string error;
    ASSERT_TRUE(gone.start(error)) << error;
    ASSERT_TRUE(
        gone.addQueue("OKI_C711WT_GONE", "socket://127.0.0.2:9100/?snmp=false", true, error))
        << error;
    gone.stop();
    TestState ts;
    const std::string bytes = "job";
    EXPECT_FALSE(spoolBytesAndReport(ts.state, "OKI_C711WT_GONE", "doc", bytes));
    const auto msgs = ts.ui.messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_NE(msgs[0].text.find("\"OKI_C711WT_GONE\""), std::string::npos) << msgs[0].text;
    EXPECT_NE(msgs[0].text.find("cannot be reached"), std::string::npos) << msgs[0].text;
    for (const auto& s : statuses(ts.ui))
        EXPECT_NE(s, text(ts.state.language, 41));
}

// A server that takes the connection and never answers: the print gives up after the answer
// timeout and says so.
TEST_F(Spooler, SilentServerIsATimeout) {
    int port = 0;
    const int fd = testsupport::listenOnLoopback(port);
    ASSERT_GE(fd, 0);
    const std::string server = "127.0.0.1:" + std::to_string(port);
    setenv("CUPS_SERVER", server.c_str(), 1);
    cupsSetServer(server.c_str());
    const CupsTimeouts saved = cupsTimeouts();
    cupsTimeouts().answerMilliseconds = 1000;
    TestState ts;
    const std::string bytes = "job";
    const bool ok = spoolBytesAndReport(ts.state, "OKI_C711WT_SILENT", "doc", bytes);
    std::string reason;
    const bool answers = cupsServerAnswers(reason);
    cupsTimeouts() = saved;
    ::close(fd);
    EXPECT_FALSE(ok);
    const auto msgs = ts.ui.messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_NE(msgs[0].text.find("did not answer within 1 s"), std::string::npos) << msgs[0].text;
    EXPECT_NE(ts.state.window.statusText, text(ts.state.language, 41));
    EXPECT_FALSE(answers);
    EXPECT_NE(reason.find("did not answer"), std::string::npos) << reason;
}

// A stopped queue takes the job and keeps it: reported as queued, not as printed.
TEST_F(Spooler, StoppedQueueIsReported) {
    const std::string queue = "OKI_C711WT_STOPPED";
    std::string error;
    ASSERT_TRUE(cupsd_->addQueue(
        queue, "socket://127.0.0.1:" + std::to_string(capture_->port()) + "/?snmp=false", true,
        error))
        << error;
    std::string out;
    ASSERT_EQ(testsupport::runProgram({"cupsdisable", "-h", cupsd_->socketPath(), queue}, &out), 0)
        << out;
    TestState ts;
    const std::size_t before = capture_->jobs().size();
    const std::string bytes = "job";
    EXPECT_FALSE(spoolBytesAndReport(ts.state, queue, "doc", bytes));
    const auto msgs = ts.ui.messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_NE(msgs[0].text.find("queued, but the queue is stopped"), std::string::npos)
        << msgs[0].text;
    EXPECT_NE(msgs[0].text.find("\"" + queue + "\""), std::string::npos) << msgs[0].text;
    for (const auto& s : statuses(ts.ui))
        EXPECT_NE(s, text(ts.state.language, 41));
    cups_job_t* jobs = nullptr;
    const int waiting =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(waiting, jobs);
    EXPECT_EQ(waiting, 1) << "the job stays queued";
    cupsd_->cancelAll();
    EXPECT_EQ(capture_->jobs().size(), before);
}

// A picture loaded as the main window would load it, for a printer of the given model.
void loadPicture(TestState& ts, const std::string& model) {
    AppState& state = ts.state;
    setTargetPrinter(state.target, model);
    writeSetting(state.settings, keys::kTargetModel, state.target.targetModel);
    prepareSettings(state);
    ensureSettings(state);
    setUpMainWindow(state);
    QImage img(24, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            img.setPixel(x, y, qRgb(x * 10, y * 15, 128));
    std::string path = ts.dir.file("picture.png");
    ASSERT_TRUE(img.save(QString::fromStdString(path), "PNG"));
    loadPictureFile(state, path);
    ASSERT_FALSE(path.empty()) << "the picture did not load";
    state.picture.imageLoaded = 1;
    state.window.windowTitle = text(state.language, 0) + " - " + path;
    setCopyCounts(state, "2", "3");
}

TEST_F(Spooler, PrintImageSendsTheBuiltJobOfEachFamily) {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    for (const std::string model : {"C711WT", "C301W"}) {
        TestState ts;
        loadPicture(ts, model);
        if (HasFatalFailure()) return;
        // The job as the job file would hold it, built from the same state first (building
        // changes nothing that printing reads).
        testsupport::RecordingUserInterface quiet;
        ts.state.ui = &quiet;
        PrintJobParts expected =
            makePrintJob(jobInputs(ts.state), separationInputs(ts.state), feedback(ts.state));
        ASSERT_TRUE(expected.ok()) << model;
        const std::string bytes = jobBytes(expected, feedback(ts.state));
        ts.state.ui = &ts.ui;

        const std::size_t before = capture_->jobs().size();
        EXPECT_EQ(printImageAction(ts.state, {"OKI_C711WT_LAB"}, "OKI_C711WT_LAB"),
                  ActionResult::Done);
        EXPECT_TRUE(nextJob(before) == bytes) << model;
        EXPECT_EQ(ts.state.window.statusText, text(ts.state.language, 41)) << model;
        const std::string file = ts.dir.file("picture.png");
        EXPECT_EQ(newestJob(kQueue).title, file + " 2 x3") << model;
    }
    {
        TestState ts;
        loadPicture(ts, "C711WT");
        if (HasFatalFailure()) return;
        const std::string bytes = blankPageBytes(ts.state);
        const std::size_t before = capture_->jobs().size();
        ASSERT_TRUE(spoolBytesAndReport(ts.state, kQueue, "DX-Blank", bytes));
        EXPECT_TRUE(nextJob(before) == bytes);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string("\x04\x04"));
    }
}

long maxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

TEST_F(Spooler, StreamedImageDataGoesOutBlockByBlock) {
    // A quarter gigabyte of image data produced while it is sent: only a block at a time may
    // be held, never the whole.
    constexpr std::size_t kBlock = 1u << 20, kBlocks = 256;
    CaptureListener big(false);
    ASSERT_TRUE(big.ok());
    ASSERT_TRUE(cupsd_->addQueue(
        "OKI_C711WT_STREAM", "socket://127.0.0.1:" + std::to_string(big.port()) + "/?snmp=false",
        true, error_))
        << error_;
    PrintJobParts parts;
    parts.header = "%!PS\r\nbeginimage\r\n";
    parts.trailer = "\r\n%%EOF\r\n";
    parts.imageBytes = kBlock * kBlocks;
    auto blockBytes = [](std::size_t i) {
        std::string b(kBlock, static_cast<char>(i));
        b[i % kBlock] = '\x7f';
        return b;
    };
    parts.produceImage = [&](const std::function<bool(std::string_view)>& sink) {
        for (std::size_t i = 0; i < kBlocks; ++i)
            if (!sink(blockBytes(i))) return false;
        return true;
    };
    std::uint64_t sum = testsupport::fnv1a(parts.header.data(), parts.header.size());
    for (std::size_t i = 0; i < kBlocks; ++i) {
        const std::string b = blockBytes(i);
        sum = testsupport::fnv1a(b.data(), b.size(), sum);
    }
    sum = testsupport::fnv1a(parts.trailer.data(), parts.trailer.size(), sum);
    const std::uint64_t total = parts.header.size() + kBlock * kBlocks + parts.trailer.size();

    TestState ts;
    const long rssBefore = maxRssKb();
    ASSERT_TRUE(spoolAndReport(ts.state, "OKI_C711WT_STREAM", "streamed", parts));
    EXPECT_LT((maxRssKb() - rssBefore) / 1024, 32) << "the image data was gathered before it went";
    ASSERT_TRUE(big.waitForJobs(1, 120000)) << cupsd_->errorLog();
    EXPECT_EQ(big.sizes()[0], total);
    EXPECT_EQ(big.checksums()[0], sum);
}

TEST_F(Spooler, LargeRasterIsHandedOverWholeWithoutACopy) {
    // A raster of an eighth of the tiling limit: big enough that a copy would show in the
    // peak memory of the process.
    const std::size_t size = 128u * 1024 * 1024;
    CaptureListener big(false);
    ASSERT_TRUE(big.ok());
    ASSERT_TRUE(cupsd_->addQueue(
        "OKI_C711WT_BIG", "socket://127.0.0.1:" + std::to_string(big.port()) + "/?snmp=false", true,
        error_))
        << error_;
    PrintJobParts parts;
    parts.header = "%!PS\r\nbeginimage\r\n";
    parts.imageData.assign(size, '\0');
    for (std::size_t i = 0; i < size; i += 4096)
        parts.imageData[i] = static_cast<char>(i >> 12);
    parts.trailer = "\r\n%%EOF\r\n";
    std::uint64_t sum = testsupport::fnv1a(parts.header.data(), parts.header.size());
    sum = testsupport::fnv1a(parts.imageData.data(), parts.imageData.size(), sum);
    sum = testsupport::fnv1a(parts.trailer.data(), parts.trailer.size(), sum);
    const std::uint64_t total = parts.header.size() + size + parts.trailer.size();

    TestState ts;
    const long rssBefore = maxRssKb();
    ASSERT_TRUE(spoolAndReport(ts.state, "OKI_C711WT_BIG", "big", parts));
    const long grownMb = (maxRssKb() - rssBefore) / 1024;
    EXPECT_LT(grownMb, 48) << "the raster was copied on its way to CUPS";
    ASSERT_TRUE(big.waitForJobs(1, 120000)) << cupsd_->errorLog();
    EXPECT_EQ(big.sizes()[0], total);
    EXPECT_EQ(big.checksums()[0], sum);
}

} // namespace
