// SPDX-License-Identifier: GPL-3.0-or-later
#include "hrtf/HrtfSet.h"

#include <fcntl.h>
#include <mysofa.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "hrtf/HrtfError.h"

namespace {

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string mysofaProblem(int err) {
    switch (err) {
    case MYSOFA_INVALID_FORMAT:
        return "not a SOFA file";
    case MYSOFA_UNSUPPORTED_FORMAT:
        return "a SOFA variant that libmysofa cannot read";
    case MYSOFA_NO_MEMORY:
        return "out of memory while reading it";
    case MYSOFA_READ_ERROR:
        return "cannot be read (truncated or damaged)";
    case MYSOFA_INVALID_ATTRIBUTES:
        return "its SOFA attributes are invalid";
    case MYSOFA_INVALID_DIMENSIONS:
        return "its SOFA dimensions are invalid";
    case MYSOFA_INVALID_DIMENSION_LIST:
        return "its SOFA dimension list is invalid";
    case MYSOFA_INVALID_COORDINATE_TYPE:
        return "its coordinates are of a type not supported";
    case MYSOFA_ONLY_EMITTER_WITH_ECI_SUPPORTED:
        return "only one emitter per set is supported";
    case MYSOFA_ONLY_DELAYS_WITH_IR_OR_MR_SUPPORTED:
        return "its delays are of a form not supported";
    case MYSOFA_ONLY_THE_SAME_SAMPLING_RATE_SUPPORTED:
        return "its responses have different sample rates";
    case MYSOFA_RECEIVERS_WITH_RCI_SUPPORTED:
    case MYSOFA_RECEIVERS_WITH_CARTESIAN_SUPPORTED:
    case MYSOFA_INVALID_RECEIVER_POSITIONS:
        return "it does not describe two ears";
    case MYSOFA_ONLY_SOURCES_WITH_MC_SUPPORTED:
        return "its source positions are not supported";
    default:
        return "libmysofa cannot use it (error " + std::to_string(err) + ")";
    }
}

// The whole file, read so that nothing can block: a non-blocking open (a FIFO without a
// writer returns at once), then only a regular file of bounded size is read.
std::vector<char> readSetFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) throw HrtfError(path + ": cannot be opened (" + std::strerror(errno) + ")");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw HrtfError(path + ": cannot be examined (" + std::strerror(errno) + ")");
    if (S_ISDIR(st.st_mode)) throw HrtfError(path + ": is a directory, not a SOFA file");
    if (!S_ISREG(st.st_mode))
        throw HrtfError(path + ": is not a regular file (a FIFO, socket or device)");
    if (st.st_size == 0) throw HrtfError(path + ": is empty");
    if (st.st_size > HrtfSet::kMaxFileBytes)
        throw HrtfError(path + ": is larger than " + std::to_string(HrtfSet::kMaxFileBytes >> 20) +
                        " MiB");
    std::vector<char> data(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw HrtfError(path + ": cannot be read (" + std::strerror(errno) + ")");
        if (n == 0) break; // shrank while we read: libmysofa judges what there is
        got += static_cast<size_t>(n);
    }
    data.resize(got);
    if (data.empty()) throw HrtfError(path + ": is empty");
    return data;
}

// libmysofa's reader crashes on some damaged files (a truncated set can smash its stack or
// make it read out of bounds), which would take the host down with it. So the file is parsed
// once in a child process first: only a file the child read and checked is parsed here.
// Returns 0 when the child was content, libmysofa's error code, or -1 when it crashed or
// took too long.
int parseInChild(const std::vector<char>& data) {
    const pid_t pid = ::fork();
    if (pid < 0) return MYSOFA_OK; // no child to be had: read it here, as libmysofa would
    if (pid == 0) {
        // The child: only the parse, no exit handlers; its crash reports go nowhere.
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0) ::dup2(devNull, 2);
        int err = MYSOFA_OK;
        MYSOFA_HRTF* hrtf = mysofa_load_data(data.data(), data.size(), &err);
        if (hrtf && err == MYSOFA_OK) err = mysofa_check(hrtf);
        if (!hrtf && err == MYSOFA_OK) err = MYSOFA_INTERNAL_ERROR;
        // Exit codes 1 .. 100 carry libmysofa's errors, offset from its first one.
        ::_exit(err == MYSOFA_OK ? 0 : std::clamp(err - MYSOFA_INVALID_FORMAT + 1, 1, 100));
    }
    int status = 0;
    for (int waited = 0; waited < 30000; waited += 5) { // 30 s
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (!WIFEXITED(status)) return -1;
            const int code = WEXITSTATUS(status);
            return code == 0 ? MYSOFA_OK : code - 1 + MYSOFA_INVALID_FORMAT;
        }
        if (done < 0 && errno != EINTR) return MYSOFA_OK;
        const timespec pause{0, 5'000'000};
        ::nanosleep(&pause, nullptr);
    }
    ::kill(pid, SIGKILL); // pid > 1: fork gave it
    ::waitpid(pid, &status, 0);
    return -1;
}

} // namespace

std::string HrtfSet::defaultPath() {
    return "/usr/share/libmysofa/default.sofa";
}

HrtfSet::~HrtfSet() {
    if (easy_) mysofa_close(easy_);
}

std::shared_ptr<const HrtfSet> HrtfSet::open(const std::string& path, double sampleRate,
                                             int maxTaps) {
    if (!(sampleRate >= 1000.0 && sampleRate <= 768000.0))
        throw HrtfError(path + ": cannot be used at a sample rate of " +
                        std::to_string(sampleRate) + " Hz");
    std::vector<char> data = readSetFile(path);

    // Every instance of the monitor opens the default set, and a restored session opens its
    // set again: a set already open with the same content, path and rate is shared.
    struct Cached {
        std::string path;
        double rate;
        int maxTaps;
        size_t bytes, hash;
        std::weak_ptr<const HrtfSet> set;
    };
    static std::mutex cacheLock;
    static std::vector<Cached> cache;
    const size_t hash = std::hash<std::string_view>()(std::string_view(data.data(), data.size()));
    {
        std::lock_guard<std::mutex> lock(cacheLock);
        cache.erase(std::remove_if(cache.begin(), cache.end(),
                                   [](const Cached& c) { return c.set.expired(); }),
                    cache.end());
        for (const Cached& c : cache)
            if (c.path == path && c.rate == sampleRate && c.maxTaps == maxTaps &&
                c.bytes == data.size() && c.hash == hash)
                if (auto set = c.set.lock()) return set;
    }
    std::shared_ptr<const HrtfSet> set = load(path, data, sampleRate, maxTaps);
    std::lock_guard<std::mutex> lock(cacheLock);
    cache.push_back({path, sampleRate, maxTaps, data.size(), hash, set});
    return set;
}

std::shared_ptr<const HrtfSet> HrtfSet::load(const std::string& path, const std::vector<char>& data,
                                             double sampleRate, int maxTaps) {
    const int childSays = parseInChild(data);
    if (childSays == -1) throw HrtfError(path + ": is damaged (libmysofa cannot read it safely)");
    if (childSays != MYSOFA_OK) throw HrtfError(path + ": " + mysofaProblem(childSays));

    // The set's own rate, before libmysofa resamples it.
    double fileRate = 0.0;
    {
        int err = 0;
        MYSOFA_HRTF* raw = mysofa_load_data(data.data(), data.size(), &err);
        if (!raw) throw HrtfError(path + ": " + mysofaProblem(err != MYSOFA_OK ? err : -1));
        if (raw->DataSamplingRate.elements > 0) fileRate = raw->DataSamplingRate.values[0];
        mysofa_free(raw);
    }
    if (!(fileRate > 0.0)) throw HrtfError(path + ": has no valid sample rate");

    int filterLength = 0, err = 0;
    MYSOFA_EASY* easy = mysofa_open_data(data.data(), static_cast<long>(data.size()),
                                         static_cast<float>(sampleRate), &filterLength, &err);
    if (!easy) throw HrtfError(path + ": " + mysofaProblem(err != MYSOFA_OK ? err : -1));
    std::shared_ptr<HrtfSet> set(new HrtfSet());
    set->easy_ = easy;
    set->path_ = path;
    set->name_ = baseName(path);
    set->sampleRate_ = sampleRate;
    const MYSOFA_HRTF* h = easy->hrtf;
    set->fileSampleRate_ = fileRate;
    set->radiusMetres_ = easy->lookup ? easy->lookup->radius_max : 1.0f;
    set->measurements_ = static_cast<int>(h->M);
    if (h->M == 0 || h->R != 2 || filterLength < 1)
        throw HrtfError(path + ": has no usable directions");

    // The longest delay any direction can have (interpolated delays lie between measured
    // ones), in samples of the file's rate; scaled to the running rate, generously if
    // libmysofa has done so already.
    double maxDelay = 0.0;
    for (unsigned i = 0; i < h->DataDelay.elements; ++i) {
        const double d = h->DataDelay.values[i];
        if (!std::isfinite(d) || d < 0.0) throw HrtfError(path + ": has an invalid delay");
        maxDelay = std::max(maxDelay, d);
    }
    maxDelay *= std::max(1.0, sampleRate / fileRate);
    set->filterLength_ = filterLength;
    const double taps = filterLength + std::ceil(maxDelay) + 1.0;
    if (taps > maxTaps)
        throw HrtfError(path + ": its responses are " + std::to_string(static_cast<long>(taps)) +
                        " taps long at " + std::to_string(static_cast<long>(sampleRate)) +
                        " Hz, more than " + std::to_string(maxTaps));
    set->length_ = static_cast<int>(taps);
    return set;
}

void HrtfSet::responseAt(double azimuthDeg, double elevationDeg, float* left, float* right) const {
    std::vector<float> l(static_cast<size_t>(filterLength_)), r(l.size());
    float delayL = 0, delayR = 0;
    // libmysofa's spherical coordinates are ours: azimuth anticlockwise from the front
    // (x ahead, y to the left), elevation up.
    // At the set's own distance, so that the nearest measured points are found by angle.
    if (!std::isfinite(azimuthDeg)) azimuthDeg = 0.0;
    if (!std::isfinite(elevationDeg)) elevationDeg = 0.0;
    float c[3] = {static_cast<float>(azimuthDeg), static_cast<float>(elevationDeg), radiusMetres_};
    mysofa_s2c(c);
    {
        std::lock_guard<std::mutex> lock(lookup_);
        mysofa_getfilter_float(easy_, c[0], c[1], c[2], l.data(), r.data(), &delayL, &delayR);
    }
    auto place = [this](const std::vector<float>& ir, float delaySeconds, float* out) {
        std::fill(out, out + length_, 0.0f);
        const long shift =
            std::clamp<long>(std::lround(delaySeconds * sampleRate_), 0, length_ - filterLength_);
        std::copy(ir.begin(), ir.end(), out + shift);
    };
    place(l, delayL, left);
    place(r, delayR, right);
}
