// SPDX-License-Identifier: MIT
// vexlith._vexlith: the library's reads and writes for the Python package,
// which gives them their Python shape (vexlith/__init__.py). The GIL is
// released while a file is read or written, and taken again only to call
// into Python: the progress callable, each entity a streaming read hands
// over, and the library's messages.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "corvane.h"
#include "json.h"
#include "kinds.h"
#include "text.h"
#include "vexlith.h"

namespace py = pybind11;

namespace {

// The records as Python values, made by the same calls that write the tool's
// JSON (json.h): one schema for `vexlith dump --json` and to_dict(). As the
// document (`exact`), a real that is not finite is the string the JSON has for
// it; as values it stays a float.
class PythonValues final : public cli::Json {
public:
    explicit PythonValues(bool exact) : exact_(exact) {}
    py::object Take() { return std::move(result_); }

    Json &Object() override { return Open(py::dict()); }
    Json &Array() override { return Open(py::list()); }
    Json &End() override {
        open_.pop_back();
        return *this;
    }
    Json &Key(std::string_view key) override {
        // Made once: the dicts of a thousand entities share their keys.
        auto found = keys_.find(key);
        if (found == keys_.end()) found = keys_.emplace(key, py::str(key.data(), key.size())).first;
        key_ = found->second;
        return *this;
    }
    Json &String(std::string_view text) override { return Put(py::str(text.data(), text.size())); }
    Json &Real(double value) override {
        return exact_ && !std::isfinite(value) ? Json::Real(value) : Put(py::float_(value));
    }
    Json &Integer(long long value) override { return Put(py::int_(value)); }
    Json &Null() override { return Put(py::none()); }

private:
    Json &Open(py::object container) {
        Put(container);
        open_.push_back(std::move(container));
        return *this;
    }
    Json &Put(py::object value) {
        if (open_.empty()) {
            result_ = std::move(value);
            return *this;
        }
        PyObject *into = open_.back().ptr();
        int status = PyDict_Check(into) ? PyDict_SetItem(into, key_.ptr(), value.ptr())
                                        : PyList_Append(into, value.ptr());
        if (status != 0) throw py::error_already_set();
        return *this;
    }

    struct Hash : std::hash<std::string_view> {
        using is_transparent = void;
    };
    bool exact_;
    std::unordered_map<std::string, py::object, Hash, std::equal_to<>> keys_;
    std::vector<py::object> open_;  // the dicts and lists being filled, innermost last
    py::object key_;
    py::object result_;
};

// The report chain's messages, outermost first; the chain is released.
py::list Chain(qerr_Report *report) {
    std::unique_ptr<qerr_Report, decltype(&qerr_ReportFree)> owned(report, &qerr_ReportFree);
    py::list chain;
    for (const qerr_Report *level = report; level; level = qerr_ReportInner(level))
        chain.append(py::str(render::ToUtf8(qerr_ReportMessage(level))));
    return chain;
}

// The progress callable, called with the percentage read each time a whole
// percent more is read (the library reports after every group, counting the
// line after the last one too: the share is held to 100). What it
// raises is kept for the caller, and no further call is made; the read itself
// goes on, as a meter cannot stop it.
class Progress {
public:
    explicit Progress(py::object callback) : callback_(std::move(callback)) {}
    qmet_Meter *Meter() { return callback_.is_none() ? nullptr : &meter_; }
    std::exception_ptr Failure() const { return failure_; }

private:
    static void Show(void *context, double percent) {
        auto &self = *static_cast<Progress *>(context);
        percent = std::clamp(percent, 0.0, 100.0);
        auto whole = static_cast<int>(percent);
        if (whole == self.shown_ || self.failure_) return;
        self.shown_ = whole;
        py::gil_scoped_acquire gil;
        try {
            self.callback_(percent);
        } catch (...) {
            self.failure_ = std::current_exception();
        }
    }

    py::object callback_;
    qmet_Meter meter_{&Progress::Show, this};
    int shown_ = -1;
    std::exception_ptr failure_;
};

Qdxf_ReadOptions ReadOptions(unsigned flags, double tolerance) {
    return {sizeof(Qdxf_ReadOptions), flags, tolerance, nullptr, 0, nullptr};
}

Qdxf_EntityType KindNamed(const std::string &name) {
    for (int kind = QDXF_LINE; kind <= QDXF_3DFACE; ++kind) {
        if (name == render::KindName(static_cast<Qdxf_EntityType>(kind)))
            return static_cast<Qdxf_EntityType>(kind);
    }
    throw py::value_error("no entity kind " + name +
                          ": LINE, POINT, CIRCLE, ARC, TRACE, SOLID, "
                          "TEXT, INSERT, POLYLINE or 3DFACE");
}

void PutCoord(double *&out, const Qdxf_Coord &coord) {
    *out++ = coord.x;
    *out++ = coord.y;
    *out++ = coord.z;
}

// A drawing the library read; only read from here on, so threads may write
// or convert it at once.
class Drawing {
public:
    explicit Drawing(Qdxf_Info *info) : info_(info, &qdxf_InfoFree) {}

    // The document of `vexlith dump --json` for the parts asked for, or
    // with `exact` false the same members as values.
    py::object Document(unsigned parts, bool exact) const {
        PythonValues values(exact);
        cli::WriteDocument(values, *info_, parts);
        return values.Take();
    }

    // The points of each entity of the ENTITIES section of one kind, in file
    // order: (n, k, 3), k the points one entity of the kind has.
    py::array_t<double> Points(const std::string &name) const {
        Qdxf_EntityType kind = KindNamed(name);
        py::ssize_t per = 1;
        if (kind == QDXF_LINE) per = 2;
        if (kind == QDXF_TRACE || kind == QDXF_SOLID || kind == QDXF_3DFACE) per = 4;
        if (kind == QDXF_POLYLINE)
            throw py::value_error("polylines have any number of vertices: use polylines()");
        py::ssize_t count = 0;
        for (const Qdxf_Entity *entity = info_->entities; entity; entity = entity->next)
            count += render::KindOf(*entity) == kind;
        py::array_t<double> points({count, per, py::ssize_t{3}});
        double *out = points.mutable_data();
        for (const Qdxf_Entity *entity = info_->entities; entity; entity = entity->next) {
            if (render::KindOf(*entity) != kind) continue;
            const auto &data = entity->data;
            switch (kind) {
                case QDXF_LINE:
                    PutCoord(out, data.line.start);
                    PutCoord(out, data.line.end);
                    break;
                case QDXF_POINT:
                    PutCoord(out, data.point.location);
                    break;
                case QDXF_CIRCLE:
                    PutCoord(out, data.circle.center);
                    break;
                case QDXF_ARC:
                    PutCoord(out, data.arc.center);
                    break;
                case QDXF_TRACE:
                case QDXF_SOLID:
                    for (const Qdxf_Coord &corner : data.trace.corner)
                        PutCoord(out, corner);
                    break;
                case QDXF_TEXT:
                    PutCoord(out, data.text.insertionPoint);
                    break;
                case QDXF_INSERT:
                    PutCoord(out, data.insert.insertionPoint);
                    break;
                default: {  // 3DFACE: the corners it has, NaN for those it lacks
                    const Qdxf_Polyline &face = data.polyline;
                    for (int i = 0; i < 4; ++i) {
                        constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
                        PutCoord(out, face.vertices && i < face.count
                                          ? face.vertices[i].location
                                          : Qdxf_Coord{kNan, kNan, kNan});
                    }
                }
            }
        }
        return points;
    }

    // Every POLYLINE's vertices, one after the other, (m, 3), and where each
    // polyline's begin, (n + 1): polyline i is vertices[starts[i]:starts[i + 1]].
    py::tuple Polylines() const {
        py::ssize_t count = 0, total = 0;
        for (const Qdxf_Entity *entity = info_->entities; entity; entity = entity->next) {
            if (render::KindOf(*entity) != QDXF_POLYLINE) continue;
            ++count;
            total += VertexCount(entity->data.polyline);
        }
        py::array_t<double> vertices({total, py::ssize_t{3}});
        py::array_t<std::int64_t> starts(count + 1);
        double *out = vertices.mutable_data();
        std::int64_t *start = starts.mutable_data();
        *start = 0;
        for (const Qdxf_Entity *entity = info_->entities; entity; entity = entity->next) {
            if (render::KindOf(*entity) != QDXF_POLYLINE) continue;
            const Qdxf_Polyline &polyline = entity->data.polyline;
            for (int i = 0; i < VertexCount(polyline); ++i)
                PutCoord(out, polyline.vertices[i].location);
            start[1] = start[0] + VertexCount(polyline);
            ++start;
        }
        return py::make_tuple(std::move(vertices), std::move(starts));
    }

    // The report chain of a failed write, empty when it succeeded. No flags:
    // qdxf_Write.
    py::list Write(const std::string &path, bool binary, unsigned flags) const {
        qerr_Report *report = nullptr;
        {
            py::gil_scoped_release unlocked;
            if (flags) {
                Qdxf_WriteOptions options{sizeof options, flags, nullptr, nullptr};
                qdxf_WriteWithOptions(info_.get(), path.c_str(), binary, &options, &report);
            } else {
                qdxf_Write(info_.get(), path.c_str(), binary, 0, &report);
            }
        }
        return Chain(report);
    }

private:
    static int VertexCount(const Qdxf_Polyline &polyline) {
        return polyline.vertices ? std::max(polyline.count, 0) : 0;
    }

    std::unique_ptr<Qdxf_Info, decltype(&qdxf_InfoFree)> info_;
};

// (drawing, []) or (None, the report chain). No flags: qdxf_Read.
py::tuple Read(const std::string &path, unsigned flags, double tolerance, py::object callback) {
    Progress progress(std::move(callback));
    Qdxf_ReadOptions options = ReadOptions(flags, tolerance);
    qerr_Report *report = nullptr;
    Qdxf_Info *info;
    {
        py::gil_scoped_release unlocked;
        info = flags ? qdxf_ReadWithOptions(path.c_str(), progress.Meter(), &options, &report)
                     : qdxf_Read(path.c_str(), progress.Meter(), &report);
    }
    auto drawing = info ? std::make_unique<Drawing>(info) : nullptr;
    py::list chain = Chain(report);
    if (progress.Failure()) std::rethrow_exception(progress.Failure());
    if (!drawing) return py::make_tuple(py::none(), chain);
    return py::make_tuple(py::cast(std::move(drawing)), chain);
}

// qdxf_ReadEach on a worker thread. Each entity becomes its members as Python
// values inside the callback (it lives only as long as the call) and waits in
// a queue of a few hundred for the consumer, so that memory stays bounded
// whatever the file's size. Closing stops the read at the next entity.
class EntityReader {
public:
    EntityReader(std::string path, unsigned flags, double tolerance, py::object callback)
        : path_(std::move(path)),
          options_(ReadOptions(flags, tolerance)),
          progress_(std::move(callback)),
          worker_([this] { Run(); }) {
        Open().insert(this);
    }
    ~EntityReader() {
        Close();
        Open().erase(this);
    }

    // Closes every reader still open. Run at exit, before the interpreter
    // finalizes: a worker that asked for the GIL after that would be ended
    // in the middle of its read.
    static void CloseAll() {
        for (EntityReader *reader : std::vector(Open().begin(), Open().end()))
            reader->Close();
    }
    EntityReader(const EntityReader &) = delete;
    EntityReader &operator=(const EntityReader &) = delete;

    // The next entity's members, or None when the read has ended.
    py::object Next() {
        py::object members;
        {
            py::gil_scoped_release unlocked;
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return !queue_.empty() || done_; });
            if (!queue_.empty()) {
                members = std::move(queue_.front());
                queue_.pop_front();
                room_.notify_one();
            }
        }
        if (members) return members;
        Join();
        if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
        if (progress_.Failure()) std::rethrow_exception(progress_.Failure());
        return py::none();
    }

    // The report chain of a failed read, once it has ended; empty otherwise.
    py::list TakeChain() {
        Join();
        return Chain(std::exchange(report_, nullptr));
    }

    void Close() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        room_.notify_all();
        Join();
        queue_.clear();  // with the GIL held
        qerr_ReportFree(std::exchange(report_, nullptr));
    }

private:
    static constexpr std::size_t kQueued = 256;

    // The readers not yet destroyed; used with the GIL held.
    static std::unordered_set<EntityReader *> &Open() {
        static std::unordered_set<EntityReader *> open;
        return open;
    }

    void Run() {
        py::gil_scoped_acquire threadState;  // kept for the callbacks' acquires
        py::gil_scoped_release unlocked;
        qerr_Report *report = nullptr;
        Qdxf_Info *partial =
            qdxf_ReadEach(path_.c_str(), progress_.Meter(), options_.flags ? &options_ : nullptr,
                          &Take, this, &report);
        qdxf_InfoFree(partial);
        std::lock_guard lock(mutex_);
        report_ = report;
        done_ = true;
        ready_.notify_all();
    }

    static int Take(void *context, const Qdxf_Info *, const Qdxf_Entity *entity) {
        auto &self = *static_cast<EntityReader *>(context);
        py::object members;
        {
            py::gil_scoped_acquire gil;
            if (self.Stopping()) return 1;
            try {
                PythonValues values(false);
                cli::WriteEntity(values, *entity);
                members = values.Take();
            } catch (...) {
                self.failure_ = std::current_exception();
                return 1;
            }
        }
        std::unique_lock lock(self.mutex_);
        self.room_.wait(lock, [&self] { return self.queue_.size() < kQueued || self.stop_; });
        if (self.stop_) {
            lock.unlock();
            py::gil_scoped_acquire gil;
            members = py::object();
            return 1;
        }
        self.queue_.push_back(std::move(members));
        self.ready_.notify_one();
        return 0;
    }

    bool Stopping() {
        std::lock_guard lock(mutex_);
        return stop_ || failure_ || progress_.Failure();
    }

    void Join() {
        if (!worker_.joinable()) return;
        py::gil_scoped_release unlocked;
        worker_.join();
    }

    std::string path_;
    Qdxf_ReadOptions options_;
    Progress progress_;
    std::mutex mutex_;
    std::condition_variable ready_;  // an entity is queued, or the read has ended
    std::condition_variable room_;   // the queue has room, or the consumer has gone
    std::deque<py::object> queue_;
    bool stop_ = false;
    bool done_ = false;
    qerr_Report *report_ = nullptr;
    std::exception_ptr failure_;
    std::thread worker_;  // last: it starts once the rest is in place
};

// The library's messages ("3DSOLID entity ignored") go to the logger
// "vexlith", at level INFO, instead of to stderr.
void LogMessage(void *, const char *message) {
    py::gil_scoped_acquire gil;
    try {
        py::module_::import("logging").attr("getLogger")("vexlith").attr("info")(
            render::ToUtf8(message));
    } catch (py::error_already_set &) {
        // A message is not worth failing a read for.
    }
}

}  // namespace

PYBIND11_MODULE(_vexlith, module) {
    module.doc() = "The vexlith library's reads and writes; use the package vexlith.";
    module.attr("__version__") = VEXLITH_VERSION;
    module.attr("HEADER") = unsigned{cli::kDocumentHeader};
    module.attr("TABLES") = unsigned{cli::kDocumentTables};
    module.attr("BLOCKS") = unsigned{cli::kDocumentBlocks};
    module.attr("ENTITIES") = unsigned{cli::kDocumentEntities};
    module.attr("DOCUMENT") = unsigned{cli::kDocumentAll};
    module.attr("READ_MODERN_KINDS") = QDXF_READ_MODERN_KINDS;
    module.attr("READ_WORLD") = QDXF_READ_WORLD;
    module.attr("READ_UTF8") = QDXF_READ_UTF8;
    module.attr("WRITE_COMPLETE") = QDXF_WRITE_COMPLETE;
    module.attr("WRITE_R12_NAMES") = QDXF_WRITE_R12_NAMES;

    module.def("read", &Read, py::arg("path"), py::arg("flags"), py::arg("tolerance"),
               py::arg("progress"));
    py::class_<Drawing>(module, "Drawing")
        .def("document", &Drawing::Document, py::arg("parts"), py::arg("exact"))
        .def("points", &Drawing::Points, py::arg("kind"))
        .def("polylines", &Drawing::Polylines)
        .def("write", &Drawing::Write, py::arg("path"), py::arg("binary"), py::arg("flags"));
    py::class_<EntityReader>(module, "EntityReader")
        .def(py::init<std::string, unsigned, double, py::object>(), py::arg("path"),
             py::arg("flags"), py::arg("tolerance"), py::arg("progress"))
        .def("next", &EntityReader::Next)
        .def("chain", &EntityReader::TakeChain)
        .def("close", &EntityReader::Close);
    qsmg_SetSink(&LogMessage, nullptr);
    py::module_::import("atexit").attr("register")(py::cpp_function(&EntityReader::CloseAll));
}
