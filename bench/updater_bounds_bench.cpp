// The updater's bounds against a server that sends huge things, before and after, in one run
// (median of --repetitions runs, default 3).
//
// Peak memory: Each measure runs in a child
// process of its own and reads the child's peak resident size, so that no measure sees another's
// pages.
//  - an archive of 3 MB whose one entry inflates to 3 GB: ExtractArchive (after: the archive
//    read from disk, the entry inflated into its temporary file in 16 KB units) beside the way
//    it was done before (the archive read whole, the entry inflated whole into memory), the
//    latter under an address-space limit of 2 GB so that it fails instead of taking the
//    machine's memory;
//  - a bible.ini of 512 MB on the loopback server: DownloadAndInstall (after: refused at 4 MB)
//    beside the merge of the whole file as it was done before (same 2 GB limit).
// Target: under 64 MB for each "after".
//
// Time: the check pass over a 4 MB manifest of 20,000 sections, RunEntries (after: the manifest
// parsed once) beside EvaluateEntry for each section it lists, each of which reads and parses
// the manifest again (before). Target: under 1 s.
//
// Prints one line per measure; exit status 1 when a target
// is missed. Needs zip(1) to build the archive; everything happens in a temporary directory that
// is removed at the end.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unzip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/http.h"
#include "support/loopback_server.h"
#include "updater/archive.h"
#include "updater/bible_ini_merge.h"
#include "updater/front.h"
#include "updater/profile_file.h"
#include "updater/updater.h"

namespace {

namespace platform = quillax::platform;

constexpr long kTargetKb = 64 * 1024;
constexpr rlim_t kBeforeLimit = 2ull * 1024 * 1024 * 1024;

struct Peak {
    long kb = 0;
    bool ok = false;  // the child ended with status 0
};

// Runs `work` in a child process (with an address-space limit when given) and returns its peak
// resident size.
Peak MeasureChild(const std::function<bool()>& work, rlim_t addressLimit = 0) {
    const pid_t child = fork();
    if (child == 0) {
        if (addressLimit != 0) {
            const rlimit limit{addressLimit, addressLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
        bool done = false;
        try {
            done = work();
        } catch (...) {
            done = false;
        }
        _exit(done ? 0 : 1);
    }
    Peak peak;
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        peak.kb = usage.ru_maxrss;
        peak.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return peak;
}

// The way entries were unpacked before: the archive read whole, each entry inflated whole.
bool ExtractWholeInMemory(const std::string& archive, const std::string& target) {
    const auto bytes = platform::ReadWholeFile(archive);
    unzFile zip = bytes ? unzOpen64(archive.c_str()) : nullptr;
    if (zip == nullptr) {
        return false;
    }
    bool ok = unzGoToFirstFile(zip) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK;
    std::string data;
    std::vector<char> buffer(quillax::kExtractUnit);
    int got = 0;
    while (ok && (got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
        data.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ok = ok && got == 0 && unzCloseCurrentFile(zip) == UNZ_OK;
    unzClose(zip);
    return ok && platform::WriteWholeFile(target, data, platform::DiskFlush::Skipped);
}

// An updater that installs into `dir`, downloads into its "update" folder and keeps its manifest
// copy there.
quillax::UpdaterSetup SetupIn(const std::string& dir) {
    quillax::UpdaterSetup setup;
    setup.installDir = quillax::GbString(dir);
    setup.ownDir = quillax::GbString(dir);
    setup.manifestCopy = quillax::GbString(dir + "cvupdate.ini");
    return setup;
}

long Median(std::vector<long> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Row {
    std::string name;
    std::vector<long> kb;
    bool allOk = true;
};

void Print(const Row& row, bool withTarget, bool* missed) {
    const long kb = Median(row.kb);
    const bool met = row.allOk && kb < kTargetKb;
    if (withTarget && !met) {
        *missed = true;
    }
    std::printf("%-62s %9.1f MB  %s\n", row.name.c_str(), static_cast<double>(kb) / 1024.0,
                !row.allOk ? (withTarget ? "FAILED" : "failed (out of memory)")
                : withTarget ? (met ? "met (< 64 MB)" : "MISSED (< 64 MB)")
                             : "");
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--repetitions") == 0) {
            repetitions = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    char pattern[] = "/tmp/updater-memory-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
        return 2;
    }
    const std::string work = std::string(made) + "/";
    const std::string archive = work + "huge.zip";
    // 3 GB of zeros deflate to about 3 MB.
    const std::string zipCommand =
        "head -c 3221225472 /dev/zero > " + work + "huge.dat && cd " + work +
        " && zip -q -1 huge.zip huge.dat && rm huge.dat";
    if (std::system(zipCommand.c_str()) != 0) {
        std::fprintf(stderr, "updater_bounds_bench: zip failed\n");
        platform::RemoveTree(work.substr(0, work.size() - 1));
        return 2;
    }
    const std::string bigIni = work + "bible-big.ini";
    {
        std::string ini = "[Config]\r\nURL=http://127.0.0.1/update.ini\r\n[WORD_GBK]\r\n";
        ini.resize(512u * 1024 * 1024, ';');
        platform::WriteWholeFile(bigIni, ini, platform::DiskFlush::Skipped);
    }
    platform::WriteWholeFile(work + "bible.ini", "[Config]\r\nURL=http://127.0.0.1/update.ini\r\n");
    platform::MakeDirectories(work + "update");

    // The server runs in a process of its own, so that its copy of the body is no one's peak.
    int portPipe[2];
    if (pipe(portPipe) != 0) {
        return 2;
    }
    const pid_t server = fork();
    if (server == 0) {
        quillax::testing::LoopbackServer loopback;
        loopback.ServeBody("/bible.ini", *platform::ReadWholeFile(bigIni));
        const unsigned port = loopback.Port();
        if (write(portPipe[1], &port, sizeof port) != sizeof port) {
            _exit(1);
        }
        pause();
        _exit(0);
    }
    unsigned port = 0;
    if (read(portPipe[0], &port, sizeof port) != sizeof port) {
        return 2;
    }

    bool missed = false;
    std::size_t entriesListed = 0;
    Row extractBefore{"3 GB archive entry, before (archive and entry whole in memory)", {}};
    Row extractAfter{"3 GB archive entry, after (ExtractArchive)", {}};
    Row iniBefore{"512 MB bible.ini, before (the whole file merged)", {}};
    Row iniAfter{"512 MB bible.ini, after (DownloadAndInstall)", {}};
    for (int run = 0; run < repetitions; ++run) {
        Peak peak = MeasureChild([&] { return ExtractWholeInMemory(archive, work + "before.dat"); },
                                 kBeforeLimit);
        extractBefore.kb.push_back(peak.kb);
        extractBefore.allOk = extractBefore.allOk && peak.ok;
        platform::RemoveFile(work + "before.dat");

        peak = MeasureChild([&] {
            const quillax::ExtractSummary summary = quillax::ExtractArchive(archive, work);
            return summary.files == 1 && platform::FileSize(work + "huge.dat").value_or(0) == 3221225472ull;
        });
        extractAfter.kb.push_back(peak.kb);
        extractAfter.allOk = extractAfter.allOk && peak.ok;
        platform::RemoveFile(work + "huge.dat");

        peak = MeasureChild([&] {
            quillax::MergeBibleIni(work + "bible.ini", bigIni, nullptr);
            return true;
        }, kBeforeLimit);
        iniBefore.kb.push_back(peak.kb);
        iniBefore.allOk = iniBefore.allOk && peak.ok;

        peak = MeasureChild([&] {
            quillax::RecordingFront front;
            platform::HttpConnection connection("cvupdate", "127.0.0.1", port);
            const quillax::UpdaterSetup setup = SetupIn(work);
            quillax::Updater updater(front, connection, setup);
            // Refused: the local bible.ini stays as it was.
            return !updater.DownloadAndInstall("/bible.ini", work) &&
                   platform::FileSize(work + "bible.ini").value_or(0) < 1024;
        });
        iniAfter.kb.push_back(peak.kb);
        iniAfter.allOk = iniAfter.allOk && peak.ok;
    }

    // The check pass over a huge manifest (no entry is installed locally: each is listed).
    const std::string manifestDir = work + "manifest/";
    platform::MakeDirectories(manifestDir + "update");
    std::string manifest;
    for (int i = 0; i < 20000; ++i) {
        char section[160];
        std::snprintf(section, sizeof section,
                      "[f%05d.txt]\r\nUpdateFile=/files/f%05d.zip\r\nFileDateTime=2099-01-01 00:00\r\n", i, i);
        manifest += section;
        manifest.append(123, ';');  // 200 bytes a section: 4 MB in all
        manifest += "\r\n";
    }
    platform::WriteWholeFile(manifestDir + "cvupdate.ini", manifest);
    std::vector<double> passBefore;
    std::vector<double> passAfter;
    for (int run = 0; run < repetitions; ++run) {
        quillax::RecordingFront front;
        platform::HttpConnection connection("cvupdate", "127.0.0.1", port);
        const quillax::UpdaterSetup setup = SetupIn(manifestDir);
        quillax::Updater updater(front, connection, setup);
        using Clock = std::chrono::steady_clock;
        auto start = Clock::now();
        for (const quillax::GbString& section :
             quillax::ProfileText::Load(setup.manifestCopy.view()).SectionNames()) {
            updater.EvaluateEntry(section, false);
        }
        passBefore.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        const std::size_t listed = front.lines.size();
        front.lines.clear();
        start = Clock::now();
        updater.RunEntries(false);
        passAfter.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        if (front.lines.size() != listed || listed == 0) {
            std::fprintf(stderr, "updater_bounds_bench: the two passes listed different entries\n");
            missed = true;
        }
        entriesListed = listed;
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    platform::RemoveTree(work.substr(0, work.size() - 1));
    std::sort(passBefore.begin(), passBefore.end());
    std::sort(passAfter.begin(), passAfter.end());
    const double before = passBefore[passBefore.size() / 2];
    const double after = passAfter[passAfter.size() / 2];
    missed = missed || after >= 1.0;

    std::printf("updater peak memory, median of %d runs\n", repetitions);
    Print(extractBefore, false, &missed);
    Print(extractAfter, true, &missed);
    Print(iniBefore, false, &missed);
    Print(iniAfter, true, &missed);
    std::printf("check pass over a %.1f MB manifest of %d sections (%zu entries listed), median of %d runs\n",
                static_cast<double>(manifest.size()) / 1e6, 20000, entriesListed, repetitions);
    std::printf("%-62s %9.3f s\n", "before (the manifest parsed for each entry)", before);
    std::printf("%-62s %9.3f s  %s\n", "after (RunEntries, the manifest parsed once)", after,
                after < 1.0 ? "met (< 1 s)" : "MISSED (< 1 s)");
    return missed ? 1 : 0;
}
