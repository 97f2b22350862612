// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/startup_warmup.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSet>
#include <QThread>

#include <cerrno>
#include <chrono>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#ifdef VANTOREL_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include "ui/resources.h"

namespace vantorel::ui {

namespace {

// How long the start waits for the warm-up before doing the work itself.
constexpr std::chrono::seconds kLongestWait{2};

// The warm-up the loader asks; one at a time, as there is one start.
std::mutex g_current_mutex;
StartupWarmup* g_current = nullptr;

// The skin files a document includes, those built later among them.
void collect_includes(const skin::Node& node, QStringList* out) {
    for (const skin::Property& p : node.properties)
        if (const std::optional<QString> file = skin::include_of(p); file && !file->isEmpty()) out->push_back(*file);
    for (const skin::Node& child : node.children) collect_includes(child, out);
}

// Read without a QFile: the first QObject made in a process marks its thread
// as Qt's main thread, and this runs before the application exists.
std::optional<QByteArray> read_file(const QString& path) {
    // Plain system calls: a C++ stream would set up the library's locales,
    // a quarter of a megabyte of pages that nothing else here touches.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    QByteArray bytes;
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.append(chunk, n);
    }
    ::close(fd);
    return bytes;
}

void set_up_fontconfig() {
#ifdef VANTOREL_HAVE_FONTCONFIG
    // Reads the configuration and the font caches into fontconfig's current
    // configuration; Qt's own FcInit then returns at once.
    FcInit();
#endif
}

}  // namespace

StartupWarmup::StartupWarmup(QString root, QStringList skins) : root_(QDir::cleanPath(root)) {
    // Qt takes the first thread that asks for its thread data as its main
    // thread: this one asks before the warm-up's thread exists.
    QThread::currentThread();
    QStringList queue;
    for (const QString& s : skins) queue.push_back(ResourceManager::path_in(root_, s));
    queue.removeDuplicates();
    {
        std::lock_guard lock(mutex_);
        queued_ = queue;
    }
    {
        std::lock_guard lock(g_current_mutex);
        if (!g_current) g_current = this;
    }
    try {
        thread_ = std::thread([this, queue] { run(queue); });
    } catch (const std::system_error&) {
        // No thread to be had: the loader and Qt do it all themselves.
        std::lock_guard lock(mutex_);
        queued_.clear();
        fonts_ready_ = true;
    }
}

StartupWarmup::~StartupWarmup() {
    {
        std::lock_guard lock(g_current_mutex);
        if (g_current == this) g_current = nullptr;
    }
    if (thread_.joinable()) thread_.join();
}

void StartupWarmup::run(QStringList queue) {
    bool fonts_done = false;
    const auto fonts = [&] {
        if (fonts_done) return;
        fonts_done = true;
        set_up_fontconfig();
        std::lock_guard lock(mutex_);
        fonts_ready_ = true;
        changed_.notify_all();
    };
    QSet<QString> seen(queue.cbegin(), queue.cend());
    int read = 0;
    while (!queue.isEmpty()) {
        const QString file = queue.takeFirst();
        const std::optional<QByteArray> bytes = read_file(file);
        skin::ParseResult parsed;
        if (bytes) parsed = skin::parse(*bytes);
        QStringList includes;
        if (parsed.ok) collect_includes(parsed.document.root, &includes);
        {
            std::lock_guard lock(mutex_);
            // A file that cannot be opened is left to the loader, which says so.
            if (bytes) parsed_.emplace(file, std::move(parsed));
            queued_.removeOne(file);
            for (const QString& inc : includes) {
                const QString path = ResourceManager::path_in(root_, inc);
                if (seen.contains(path)) continue;
                seen.insert(path);
                queued_.push_back(path);
                queue.push_back(path);
            }
            changed_.notify_all();
        }
        // The window's own skin first, which its build asks for first; then
        // the fonts its first text needs; then the rest.
        if (++read == 1) fonts();
    }
    fonts();
}

void StartupWarmup::wait_for_fonts() {
    std::unique_lock lock(mutex_);
    // A warm-up that is held up (fontconfig rebuilding its caches on a busy
    // disk, say) holds up nothing for long: Qt then does its own set-up.
    changed_.wait_for(lock, kLongestWait, [this] { return fonts_ready_; });
}

void StartupWarmup::finish() {
    if (thread_.joinable()) thread_.join();
}

std::optional<skin::ParseResult> StartupWarmup::take(const QString& file) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, kLongestWait, [&] { return !queued_.contains(file); })) return std::nullopt;
    const auto it = parsed_.find(file);
    if (it == parsed_.end()) return std::nullopt;
    std::optional<skin::ParseResult> out(std::move(it->second));
    parsed_.erase(it);
    return out;
}

std::optional<skin::ParseResult> StartupWarmup::take_skin(const QString& file) {
    std::lock_guard lock(g_current_mutex);
    if (!g_current) return std::nullopt;
    return g_current->take(file);
}

QtFontListAhead::QtFontListAhead(StartupWarmup* warmup) {
    // These make their font database with the application, before any
    // thread can ask for it.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland"))) return;
    try {
        thread_ = std::thread([warmup] {
            if (warmup) warmup->wait_for_fonts();
            // Every function of Qt's font database may be called from any
            // thread; the first call reads the list under its lock.
            QFontDatabase::families();
        });
    } catch (const std::system_error&) {
        // No thread: Qt reads the list when the first text needs it.
    }
}

QtFontListAhead::~QtFontListAhead() { finish(); }

void QtFontListAhead::finish() {
    if (thread_.joinable()) thread_.join();
}

QStringList StartupWarmup::unclaimed() const {
    std::lock_guard lock(mutex_);
    QStringList out;
    for (const auto& entry : parsed_) out.push_back(entry.first);
    return out;
}

}  // namespace vantorel::ui
