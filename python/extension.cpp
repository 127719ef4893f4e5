// SPDX-License-Identifier: MIT
// vexlith._vexlith: the library's reads and writes for the Python package,
// which gives them their Python shape (vexlith/__init__.py). The GIL is
// released while a drawing is read or written, and taken again only to call
// into Python: the progress callable and the library's messages.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "corvane.h"
#include "entities.h"
#include "json.h"
#include "kinds.h"
#include "text.h"
#include "values.h"
#include "vexlith.h"

namespace py = pybind11;
using namespace vexlith_python;

namespace {

// A file name, or the name bytes go by in reports: cut at a NUL, it would name
// another file, so it is refused as open() refuses it.
const std::string &Checked(const std::string &name) {
    if (name.find('\0') != std::string::npos) throw py::value_error("embedded null byte");
    return name;
}

// What a read reads: the file `name` names, or bytes in memory, which `name`
// only labels in reports. The buffer of an object that cannot change (bytes)
// is read where it lies, held until the read has ended; one that can
// (bytearray) is copied first, as the read runs without the GIL, while
// another thread could change it. Released with the GIL held.
class Source {
public:
    Source(const std::string &name, py::handle data) : name_(Checked(name)) {
        if (data.is_none()) return;
        inMemory_ = true;
        if (PyObject_GetBuffer(data.ptr(), &view_, PyBUF_FULL_RO) != 0)
            throw py::error_already_set();
        held_ = true;
        if (view_.readonly && PyBuffer_IsContiguous(&view_, 'C')) return;
        copy_.resize(static_cast<std::size_t>(view_.len));
        int copied = PyBuffer_ToContiguous(copy_.data(), &view_, view_.len, 'C');
        Release();
        if (copied != 0) throw py::error_already_set();
    }
    ~Source() { Release(); }
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

    const char *Name() const { return name_.c_str(); }
    bool InMemory() const { return inMemory_; }
    Qdxf_ReadOptions Options(unsigned flags, double tolerance) const {
        Qdxf_ReadOptions options{sizeof options, flags, tolerance, nullptr, 0, nullptr};
        if (inMemory_) {
            options.data = held_ ? view_.buf : copy_.data();
            options.dataSize = held_ ? static_cast<std::size_t>(view_.len) : copy_.size();
        }
        return options;
    }

private:
    void Release() {
        if (held_) PyBuffer_Release(&view_);
        held_ = false;
    }

    std::string name_;
    bool inMemory_ = false;
    Py_buffer view_{};
    bool held_ = false;
    std::string copy_;
};

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

// A drawing the library read, shared by the Drawing and every view and
// entity taken from it; only read from here on, so threads may write or
// convert it at once.
using Info = std::unique_ptr<Qdxf_Info, decltype(&qdxf_InfoFree)>;

class Drawing {
public:
    explicit Drawing(Qdxf_Info *info)
        : drawing_(info), owner_(Owner(std::make_shared<Info>(info, &qdxf_InfoFree))) {}

    // The document of `vexlith dump --json` for the parts asked for, or
    // with `exact` false the same members as values.
    py::object Document(unsigned parts, bool exact) const {
        PythonValues values(exact);
        cli::WriteDocument(values, *drawing_, parts);
        return values.Take();
    }

    EntityView Entities() {
        if (!entities_) entities_ = ListRecords(drawing_->entities);
        return {owner_, entities_};
    }

    // Each block as (its members but the entities, a view of its entities).
    py::list Blocks() const {
        py::list blocks;
        for (const Qdxf_Block *block = drawing_->blocks; block; block = block->next) {
            PythonValues values(false);
            values.Skip("entities");
            cli::WriteBlock(values, *block);
            blocks.append(
                py::make_tuple(values.Take(), EntityView{owner_, ListRecords(block->entities)}));
        }
        return blocks;
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
        for (const Qdxf_Entity *entity = drawing_->entities; entity; entity = entity->next)
            count += render::KindOf(*entity) == kind;
        py::array_t<double> points({count, per, py::ssize_t{3}});
        double *out = points.mutable_data();
        for (const Qdxf_Entity *entity = drawing_->entities; entity; entity = entity->next) {
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

    // The report chain of a failed write, empty when it succeeded. No flags:
    // qdxf_Write.
    py::list Write(const std::string &path, bool binary, unsigned flags) const {
        Checked(path);
        qerr_Report *report = nullptr;
        {
            py::gil_scoped_release unlocked;
            if (flags) {
                Qdxf_WriteOptions options{sizeof options, flags, nullptr, nullptr};
                qdxf_WriteWithOptions(drawing_, path.c_str(), binary, &options, &report);
            } else {
                qdxf_Write(drawing_, path.c_str(), binary, 0, &report);
            }
        }
        return Chain(report);
    }

    // (the file's bytes, []) or (None, the report chain of the failure), the
    // write into memory; `name` names it in the chain.
    py::tuple ToBytes(const std::string &name, bool binary, unsigned flags) const {
        Checked(name);
        void *data = nullptr;
        std::size_t size = 0;
        qerr_Report *report = nullptr;
        {
            py::gil_scoped_release unlocked;
            Qdxf_WriteOptions options{sizeof options, flags, &data, &size};
            qdxf_WriteWithOptions(drawing_, name.c_str(), binary, &options, &report);
        }
        std::unique_ptr<void, decltype(&qmsc_HeapFree)> owned(data, &qmsc_HeapFree);
        py::list chain = Chain(report);
        if (!data || !chain.empty()) return py::make_tuple(py::none(), chain);
        return py::make_tuple(py::bytes(static_cast<const char *>(data), size), chain);
    }

private:
    const Qdxf_Info *drawing_;
    py::object owner_;  // holds the drawing for every view and entity taken from it
    std::shared_ptr<const Records> entities_;
};

// (drawing, [], repairs) or (None, the report chain, []). No flags and a
// file: qdxf_Read.
py::tuple Read(const std::string &path, py::handle data, unsigned flags, double tolerance,
               py::object callback) {
    Source source(path, data);
    Progress progress(std::move(callback));
    Qdxf_ReadOptions options = source.Options(flags, tolerance);
    Qdxf_Repair *repairs = nullptr;
    options.repairs = &repairs;
    qerr_Report *report = nullptr;
    Qdxf_Info *info;
    {
        py::gil_scoped_release unlocked;
        info = flags || source.InMemory()
                   ? qdxf_ReadWithOptions(source.Name(), progress.Meter(), &options, &report)
                   : qdxf_Read(source.Name(), progress.Meter(), &report);
    }
    auto drawing = info ? std::make_unique<Drawing>(info) : nullptr;
    py::list chain = Chain(report);
    py::list repaired = Repairs(repairs);
    if (progress.Failure()) std::rethrow_exception(progress.Failure());
    if (!drawing) return py::make_tuple(py::none(), chain, repaired);
    return py::make_tuple(py::cast(std::move(drawing)), chain, repaired);
}

// qdxf_ReadEach on a worker thread, as an iterator of entities. The worker
// copies each entity into a batch of a few hundred (the entity itself lives
// only as long as the callback) and queues the batch for the consumer; a few
// batches wait at most, so that memory stays bounded whatever the file's
// size. The consumer hands out the batch's entities without copying them
// again; each keeps its batch alive. Closing stops the read at the next
// entity.
class EntityReader {
public:
    EntityReader(const std::string &path, py::handle data, unsigned flags, double tolerance,
                 py::object callback)
        : source_(path, data),
          options_(source_.Options(flags, tolerance)),
          progress_(std::move(callback)),
          worker_([this] { Run(); }) {
        Open().insert(this);
    }
    ~EntityReader() {
        Close();
        Open().erase(this);
    }
    EntityReader(const EntityReader &) = delete;
    EntityReader &operator=(const EntityReader &) = delete;

    // Closes every reader still open. Run at exit, before the interpreter
    // finalizes: a worker that asked for the GIL after that would be ended
    // in the middle of its read.
    static void CloseAll() {
        for (EntityReader *reader : std::vector(Open().begin(), Open().end()))
            reader->Close();
    }

    // The next entity, or null once the read has ended.
    PyObject *Next() {
        if (!current_ || next_ == current_->Size()) {
            current_.reset();
            currentOwner_ = py::object();
            next_ = 0;
            std::shared_ptr<Batch> taken;  // current_ is changed only with the GIL held
            {
                py::gil_scoped_release unlocked;
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !queue_.empty() || done_; });
                if (!queue_.empty()) {
                    taken = std::move(queue_.front());
                    queue_.pop_front();
                    room_.notify_one();
                }
            }
            current_ = std::move(taken);
            if (!current_) {
                Join();
                if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
                if (progress_.Failure()) std::rethrow_exception(progress_.Failure());
                return nullptr;
            }
            currentOwner_ = Owner(current_);
        }
        return NewEntity(currentOwner_, current_->At(next_++)).release().ptr();
    }

    // The report chain of a failed read, once it has ended; empty otherwise.
    py::list TakeChain() {
        Join();
        return Chain(std::exchange(report_, nullptr));
    }

    // The repairs of a recovering read, once it has ended.
    py::list TakeRepairs() {
        Join();
        return Repairs(std::exchange(repairs_, nullptr));
    }

    void Close() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        room_.notify_all();
        Join();
        queue_.clear();
        current_.reset();
        currentOwner_ = py::object();
        qerr_ReportFree(std::exchange(report_, nullptr));
        qdxf_RepairsFree(std::exchange(repairs_, nullptr));
    }

private:
    static constexpr std::size_t kBatch = 256;
    static constexpr std::size_t kQueued = 4;

    // The readers not yet destroyed; used with the GIL held.
    static std::unordered_set<EntityReader *> &Open() {
        static std::unordered_set<EntityReader *> open;
        return open;
    }

    void Run() {
        py::gil_scoped_acquire threadState;  // kept for the callbacks' acquires
        py::gil_scoped_release unlocked;
        qerr_Report *report = nullptr;
        options_.repairs = &repairs_;
        bool options = options_.flags || source_.InMemory();
        Qdxf_Info *partial = qdxf_ReadEach(source_.Name(), progress_.Meter(),
                                           options ? &options_ : nullptr, &Take, this, &report);
        qdxf_InfoFree(partial);
        // What was read before a failure goes out before the failure.
        if (filling_ && filling_->Size()) Hand(std::move(filling_));
        std::lock_guard lock(mutex_);
        report_ = report;
        done_ = true;
        ready_.notify_all();
    }

    static int Take(void *context, const Qdxf_Info *, const Qdxf_Entity *entity) {
        auto &self = *static_cast<EntityReader *>(context);
        if (self.progress_.Failure()) return 1;
        try {
            if (!self.filling_) self.filling_ = std::make_shared<Batch>(kBatch);
            self.filling_->Add(*entity);
            if (self.filling_->Full() && !self.Hand(std::move(self.filling_))) return 1;
        } catch (...) {
            self.failure_ = std::current_exception();
            return 1;
        }
        return 0;
    }

    // Queues a batch once there is room; false when the consumer has gone.
    bool Hand(std::shared_ptr<Batch> batch) {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [this] { return queue_.size() < kQueued || stop_; });
        if (stop_) return false;
        queue_.push_back(std::move(batch));
        ready_.notify_one();
        return true;
    }

    void Join() {
        if (!worker_.joinable()) return;
        py::gil_scoped_release unlocked;
        worker_.join();
    }

    Source source_;
    Qdxf_ReadOptions options_;
    Progress progress_;
    std::mutex mutex_;
    std::condition_variable ready_;  // a batch is queued, or the read has ended
    std::condition_variable room_;   // the queue has room, or the consumer has gone
    std::deque<std::shared_ptr<Batch>> queue_;
    std::shared_ptr<Batch> filling_;  // the worker's
    std::shared_ptr<Batch> current_;  // the consumer's
    py::object currentOwner_;         // current_ for its entities
    std::size_t next_ = 0;
    bool stop_ = false;
    bool done_ = false;
    qerr_Report *report_ = nullptr;
    Qdxf_Repair *repairs_ = nullptr;  // the worker's until it has ended
    std::exception_ptr failure_;
    std::thread worker_;  // last: it starts once the rest is in place
};

// The steps of an iteration over a reader, which it keeps alive.
class ReaderCursor final : public Cursor {
public:
    explicit ReaderCursor(py::object reader)
        : reader_(std::move(reader)), native_(reader_.cast<EntityReader *>()) {}
    PyObject *Next() override { return native_->Next(); }

private:
    py::object reader_;
    EntityReader *native_;
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
    module.attr("READ_RECOVER") = QDXF_READ_RECOVER;
    module.attr("WRITE_COMPLETE") = QDXF_WRITE_COMPLETE;
    module.attr("WRITE_R12_NAMES") = QDXF_WRITE_R12_NAMES;

    DefineEntities(module);
    module.def("read", &Read, py::arg("path"), py::arg("data"), py::arg("flags"),
               py::arg("tolerance"), py::arg("progress"));
    py::class_<Drawing>(module, "Drawing")
        .def("document", &Drawing::Document, py::arg("parts"), py::arg("exact"))
        .def("entities", &Drawing::Entities)
        .def("blocks", &Drawing::Blocks)
        .def("points", &Drawing::Points, py::arg("kind"))
        .def("write", &Drawing::Write, py::arg("path"), py::arg("binary"), py::arg("flags"))
        .def("to_bytes", &Drawing::ToBytes, py::arg("name"), py::arg("binary"), py::arg("flags"));
    py::class_<EntityReader>(module, "EntityReader")
        .def(py::init<const std::string &, py::handle, unsigned, double, py::object>(),
             py::arg("path"), py::arg("data"), py::arg("flags"), py::arg("tolerance"),
             py::arg("progress"))
        .def("__iter__",
             [](py::object self) { return NewIterator(std::make_unique<ReaderCursor>(self)); })
        .def("chain", &EntityReader::TakeChain)
        .def("repairs", &EntityReader::TakeRepairs)
        .def("close", &EntityReader::Close);
    qsmg_SetSink(&LogMessage, nullptr);
    py::module_::import("atexit").attr("register")(py::cpp_function(&EntityReader::CloseAll));
}
