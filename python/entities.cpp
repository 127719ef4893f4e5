// SPDX-License-Identifier: MIT
// Entities as light objects and sequences of them (see entities.h).
#include "entities.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "kinds.h"
#include "text.h"
#include "values.h"

namespace vexlith_python {
namespace {

constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
constexpr std::size_t kBlockBytes = std::size_t{16} << 10;
constexpr int kKinds = QDXF_3DFACE + 1;

// Objects made once and kept for the life of the process: never released, so
// that nothing is released after the interpreter has finalized.
struct Shared {
    std::array<PyObject *, kKinds> kindNames{};
    PyObject *record = nullptr;  // vexlith.Record, once the package has named it
    PyTypeObject *entity = nullptr;
    PyTypeObject *iterator = nullptr;
    PyObject *lines = nullptr, *circles = nullptr, *arcs = nullptr, *texts = nullptr,
             *polylines = nullptr;
};

Shared &Objects() {
    static auto &shared = *new Shared;
    return shared;
}

struct EntityObject {
    PyObject base;
    const Qdxf_Entity *record;
    PyObject *owner;
};

struct IteratorObject {
    PyObject base;
    Cursor *cursor;
};

bool IsEntity(py::handle object) {
    return Py_TYPE(object.ptr()) == Objects().entity;
}

const Qdxf_Entity &RecordOf(py::handle entity) {
    return *reinterpret_cast<EntityObject *>(entity.ptr())->record;
}

// A slot's work, its C++ exceptions turned into the Python error they stand for.
template <class Work>
PyObject *Guarded(Work &&work) noexcept {
    try {
        return work();
    } catch (py::error_already_set &error) {
        error.restore();
    } catch (const py::builtin_exception &error) {
        error.set_error();
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
    } catch (const std::exception &error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    }
    return nullptr;
}

// The members an entity has, as json.cpp writes them.
constexpr const char *kMemberNames[] = {
    "type", "layerName", "handle", "ltypeName", "elevation", "thickness", "color", "space", "data"};

// One member of the kind's data, or a null object.
py::object DataMember(const Qdxf_Entity &record, std::string_view name) {
    PythonValues values(false);
    values.Only(name);
    cli::WriteEntityData(values, record);
    return values.Take();
}

py::object Data(const Qdxf_Entity &record) {
    PythonValues values(false);
    cli::WriteEntityData(values, record);
    return values.Take();
}

py::object Members(const Qdxf_Entity &record) {
    PythonValues values(false);
    cli::WriteEntity(values, record);
    return values.Take();
}

py::object AsRecord(py::handle members) {
    PyObject *record = Objects().record;
    if (!record) return py::reinterpret_borrow<py::object>(members);
    return py::reinterpret_borrow<py::object>(record)(members);
}

py::list AsRecords(py::handle list) {
    py::list records;
    for (py::handle item : list)
        records.append(AsRecord(item));
    return records;
}

// The data as a Record, its vertices Records too.
py::object DataRecord(const Qdxf_Entity &record) {
    py::dict data = Data(record);
    if (data.contains("vertices")) data["vertices"] = AsRecords(data["vertices"]);
    return AsRecord(data);
}

std::string Repr(const Qdxf_Entity &record) {
    py::dict members = Members(record);
    members["data"] = DataRecord(record);
    std::string text = "Entity(";
    for (auto item : members) {
        if (text.size() > 7) text += ", ";
        text += py::str(item.first).cast<std::string>() + "=" +
                py::repr(item.second).cast<std::string>();
    }
    return text + ")";
}

bool Equal(const Qdxf_Entity &a, const Qdxf_Entity &b) {
    return &a == &b || Members(a).equal(Members(b));
}

// Entity slots.

void EntityDealloc(PyObject *self) {
    PyTypeObject *type = Py_TYPE(self);
    Py_DECREF(reinterpret_cast<EntityObject *>(self)->owner);
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject *Kind(PyObject *self, void *) {
    PyObject *name = Objects().kindNames[render::KindOf(RecordOf(self))];
    Py_INCREF(name);
    return name;
}

template <char *Qdxf_Entity::*member>
PyObject *TextMember(PyObject *self, void *) {
    return Guarded([self] { return Text(RecordOf(self).*member).release().ptr(); });
}

template <double Qdxf_Entity::*member>
PyObject *RealMember(PyObject *self, void *) {
    return PyFloat_FromDouble(RecordOf(self).*member);
}

template <int Qdxf_Entity::*member>
PyObject *IntegerMember(PyObject *self, void *) {
    return PyLong_FromLong(RecordOf(self).*member);
}

PyObject *DataRecordOf(PyObject *self, void *) {
    return Guarded([self] { return DataRecord(RecordOf(self)).release().ptr(); });
}

// A member of the entity's data as the entity's own attribute (e.start,
// e.radius); an AttributeError for a kind without it.
PyObject *DataAttribute(PyObject *self, void *closure) {
    const std::string &name = *static_cast<const std::string *>(closure);
    return Guarded([&] {
        const Qdxf_Entity &record = RecordOf(self);
        py::object value = DataMember(record, name);
        if (!value)
            throw py::attribute_error(std::string(render::KindName(record)) +
                                      " entity has no member '" + name + "'");
        return (name == "vertices" ? AsRecords(value) : value).release().ptr();
    });
}

// The names of the data members of every kind, as json.cpp writes them.
class DataNames final : public cli::Json {
public:
    std::vector<std::string> names;

    Json &Object() override { return Open(); }
    Json &Array() override { return Open(); }
    Json &End() override {
        --depth_;
        return *this;
    }
    Json &Key(std::string_view key) override {
        if (depth_ == 1) inData_ = key == "data";
        if (depth_ == 2 && inData_ && std::find(names.begin(), names.end(), key) == names.end())
            names.emplace_back(key);
        return *this;
    }
    Json &String(std::string_view) override { return *this; }
    Json &Real(double) override { return *this; }
    Json &Integer(long long) override { return *this; }
    Json &Null() override { return *this; }

private:
    Json &Open() {
        ++depth_;
        return *this;
    }
    int depth_ = 0;
    bool inData_ = false;
};

PyObject *EntityRepr(PyObject *self) {
    return Guarded([self] { return py::str(Repr(RecordOf(self))).release().ptr(); });
}

PyObject *EntityCompare(PyObject *self, PyObject *other, int op) {
    if (!IsEntity(other) || (op != Py_EQ && op != Py_NE)) Py_RETURN_NOTIMPLEMENTED;
    return Guarded([&] {
        bool equal = Equal(RecordOf(self), RecordOf(other));
        return py::bool_(op == Py_EQ ? equal : !equal).release().ptr();
    });
}

// e[key] for the keys of keys(): the member as plain values, so that dict(e)
// is the entity's members as the document has them.
PyObject *EntityItem(PyObject *self, PyObject *key) {
    return Guarded([&]() -> PyObject * {
        auto known = [key](const char *name) {
            return PyUnicode_Check(key) && PyUnicode_CompareWithASCIIString(key, name) == 0;
        };
        if (known("data")) return Data(RecordOf(self)).release().ptr();
        if (std::any_of(std::begin(kMemberNames), std::end(kMemberNames), known))
            return PyObject_GetAttr(self, key);  // the common members' own getters
        PyErr_SetObject(PyExc_KeyError, key);
        return nullptr;
    });
}

PyObject *EntityKeys(PyObject *, PyObject *) {
    return Guarded([] {
        py::tuple keys(std::size(kMemberNames));
        for (std::size_t i = 0; i < std::size(kMemberNames); ++i)
            keys[i] = py::str(kMemberNames[i]);
        return keys.release().ptr();
    });
}

PyObject *EntityCopy(PyObject *self, PyObject *);

PyObject *EntityDeepCopy(PyObject *self, PyObject *) {
    return EntityCopy(self, nullptr);
}

PyObject *EntityCopy(PyObject *self, PyObject *) {
    return Guarded([self] {
        auto batch = std::make_shared<Batch>(1);
        const Qdxf_Entity *record = batch->Add(RecordOf(self));
        return NewEntity(Owner(std::move(batch)), record).release().ptr();
    });
}

constexpr PyGetSetDef kCommonMembers[] = {
    {"type", &Kind, nullptr, "the kind's name", nullptr},
    {"kind", &Kind, nullptr, "the kind's name: \"LINE\" ... \"3DFACE\", \"INVALID\"", nullptr},
    {"layerName", &TextMember<&Qdxf_Entity::layerName>, nullptr, nullptr, nullptr},
    {"layer", &TextMember<&Qdxf_Entity::layerName>, nullptr, "layerName", nullptr},
    {"handle", &TextMember<&Qdxf_Entity::handle>, nullptr, nullptr, nullptr},
    {"ltypeName", &TextMember<&Qdxf_Entity::ltypeName>, nullptr, nullptr, nullptr},
    {"elevation", &RealMember<&Qdxf_Entity::elevation>, nullptr, nullptr, nullptr},
    {"thickness", &RealMember<&Qdxf_Entity::thickness>, nullptr, nullptr, nullptr},
    {"color", &IntegerMember<&Qdxf_Entity::color>, nullptr, nullptr, nullptr},
    {"space", &IntegerMember<&Qdxf_Entity::space>, nullptr, nullptr, nullptr},
    {"data", &DataRecordOf, nullptr, "the members of the kind, a Record", nullptr},
};

PyMethodDef kEntityMethods[] = {
    {"keys", &EntityKeys, METH_NOARGS, "The names of the members, as dict(e) has them."},
    {"copy", &EntityCopy, METH_NOARGS, "An entity holding a copy of this one's record alone."},
    {"__copy__", &EntityCopy, METH_NOARGS, nullptr},
    {"__deepcopy__", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&EntityDeepCopy)),
     METH_O, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kEntitySlots[] = {
    {Py_tp_dealloc, reinterpret_cast<void *>(&EntityDealloc)},
    {Py_tp_repr, reinterpret_cast<void *>(&EntityRepr)},
    {Py_tp_richcompare, reinterpret_cast<void *>(&EntityCompare)},
    {Py_tp_hash, reinterpret_cast<void *>(&PyObject_HashNotImplemented)},
    {Py_mp_subscript, reinterpret_cast<void *>(&EntityItem)},
    {Py_tp_getset, nullptr},  // the common members and those of the kinds' data
    {Py_tp_methods, kEntityMethods},
    {0, nullptr},
};

PyType_Spec kEntityType = {"vexlith.Entity", sizeof(EntityObject), 0, Py_TPFLAGS_DEFAULT,
                           kEntitySlots};

// Iterator slots.

void IteratorDealloc(PyObject *self) {
    PyTypeObject *type = Py_TYPE(self);
    delete reinterpret_cast<IteratorObject *>(self)->cursor;
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject *IteratorNext(PyObject *self) {
    return Guarded([self] { return reinterpret_cast<IteratorObject *>(self)->cursor->Next(); });
}

PyType_Slot kIteratorSlots[] = {
    {Py_tp_dealloc, reinterpret_cast<void *>(&IteratorDealloc)},
    {Py_tp_iter, reinterpret_cast<void *>(&PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void *>(&IteratorNext)},
    {0, nullptr},
};

PyType_Spec kIteratorType = {"vexlith.EntityIterator", sizeof(IteratorObject), 0,
                             Py_TPFLAGS_DEFAULT, kIteratorSlots};

class ViewCursor final : public Cursor {
public:
    explicit ViewCursor(EntityView view) : view_(std::move(view)) {}
    PyObject *Next() override {
        if (next_ == view_.items->size()) return nullptr;
        return NewEntity(view_.owner, (*view_.items)[next_++]).release().ptr();
    }

private:
    EntityView view_;
    std::size_t next_ = 0;
};

// Views.

Qdxf_EntityType KindCode(const std::string &name) {
    for (int kind = QDXF_INVALID; kind < kKinds; ++kind) {
        if (name == render::KindName(static_cast<Qdxf_EntityType>(kind)))
            return static_cast<Qdxf_EntityType>(kind);
    }
    throw py::value_error("no entity kind " + name +
                          ": LINE, POINT, CIRCLE, ARC, TRACE, SOLID, TEXT, INSERT, POLYLINE, "
                          "3DFACE or INVALID");
}

// A str, or any iterable of str, as the texts it names.
std::vector<std::string> Names(py::handle names) {
    if (py::isinstance<py::str>(names)) return {names.cast<std::string>()};
    std::vector<std::string> all;
    for (py::handle name : names)
        all.push_back(name.cast<std::string>());
    return all;
}

bool Ascii(const char *raw) {
    for (; *raw; ++raw) {
        if (static_cast<unsigned char>(*raw) >= 0x80) return false;
    }
    return true;
}

struct Hash : std::hash<std::string_view> {
    using is_transparent = void;
};
using TextSet = std::unordered_set<std::string, Hash, std::equal_to<>>;

// Whether a record's text, as str, is one of `wanted` (UTF-8): a text equal
// to one byte for byte is that text; one that is not ASCII may read as one
// once decoded.
bool TextIn(const char *raw, const TextSet &wanted) {
    if (!raw) return false;
    if (wanted.find(std::string_view(raw)) != wanted.end()) return true;
    return !Ascii(raw) && wanted.count(render::ToUtf8(raw));
}

py::array_t<std::int64_t> Positions(const std::vector<std::int64_t> &positions) {
    py::array_t<std::int64_t> array(static_cast<py::ssize_t>(positions.size()));
    std::copy(positions.begin(), positions.end(), array.mutable_data());
    return array;
}

// The positions in the view of the entities of one kind.
std::vector<std::int64_t> PositionsOf(const EntityView &view, Qdxf_EntityType kind) {
    std::vector<std::int64_t> positions;
    const Records &items = *view.items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (render::KindOf(*items[i]) == kind) positions.push_back(static_cast<std::int64_t>(i));
    }
    return positions;
}

const Qdxf_Entity &At(const EntityView &view, std::int64_t position) {
    return *(*view.items)[static_cast<std::size_t>(position)];
}

void Put(double *&out, const Qdxf_Coord &coord) {
    *out++ = coord.x;
    *out++ = coord.y;
    *out++ = coord.z;
}

py::ssize_t Size(const std::vector<std::int64_t> &positions) {
    return static_cast<py::ssize_t>(positions.size());
}

py::object Tuple(PyObject *type, const py::tuple &values) {
    return py::reinterpret_borrow<py::object>(type)(*values);
}

py::object Lines(const EntityView &view) {
    std::vector<std::int64_t> at = PositionsOf(view, QDXF_LINE);
    py::array_t<double> points({Size(at), py::ssize_t{2}, py::ssize_t{3}});
    double *out = points.mutable_data();
    for (std::int64_t i : at) {
        Put(out, At(view, i).data.line.start);
        Put(out, At(view, i).data.line.end);
    }
    return Tuple(Objects().lines, py::make_tuple(std::move(points), Positions(at)));
}

py::object Circles(const EntityView &view) {
    std::vector<std::int64_t> at = PositionsOf(view, QDXF_CIRCLE);
    py::array_t<double> centers({Size(at), py::ssize_t{3}}), radii(Size(at));
    double *center = centers.mutable_data(), *radius = radii.mutable_data();
    for (std::int64_t i : at) {
        Put(center, At(view, i).data.circle.center);
        *radius++ = At(view, i).data.circle.radius;
    }
    return Tuple(Objects().circles,
                 py::make_tuple(std::move(centers), std::move(radii), Positions(at)));
}

py::object Arcs(const EntityView &view) {
    std::vector<std::int64_t> at = PositionsOf(view, QDXF_ARC);
    py::array_t<double> centers({Size(at), py::ssize_t{3}}), radii(Size(at)), starts(Size(at)),
        ends(Size(at));
    double *center = centers.mutable_data(), *radius = radii.mutable_data();
    double *start = starts.mutable_data(), *end = ends.mutable_data();
    for (std::int64_t i : at) {
        const Qdxf_Arc &arc = At(view, i).data.arc;
        Put(center, arc.center);
        *radius++ = arc.radius;
        *start++ = arc.startAngle;
        *end++ = arc.endAngle;
    }
    return Tuple(Objects().arcs, py::make_tuple(std::move(centers), std::move(radii),
                                                std::move(starts), std::move(ends), Positions(at)));
}

py::object Texts(const EntityView &view) {
    std::vector<std::int64_t> at = PositionsOf(view, QDXF_TEXT);
    py::array_t<double> positions({Size(at), py::ssize_t{3}}), heights(Size(at)), angles(Size(at));
    py::list strings(Size(at));
    double *position = positions.mutable_data(), *height = heights.mutable_data(),
           *angle = angles.mutable_data();
    std::size_t row = 0;
    for (std::int64_t i : at) {
        const Qdxf_Text &text = At(view, i).data.text;
        Put(position, text.insertionPoint);
        *height++ = text.height;
        *angle++ = text.angle;
        strings[row++] = Text(text.text);
    }
    return Tuple(Objects().texts,
                 py::make_tuple(std::move(positions), std::move(heights), std::move(angles),
                                std::move(strings), Positions(at)));
}

int VertexCount(const Qdxf_Polyline &polyline) {
    return polyline.vertices ? std::max(polyline.count, 0) : 0;
}

py::object Polylines(const EntityView &view) {
    std::vector<std::int64_t> at = PositionsOf(view, QDXF_POLYLINE);
    py::ssize_t total = 0;
    for (std::int64_t i : at)
        total += VertexCount(At(view, i).data.polyline);
    py::array_t<double> vertices({total, py::ssize_t{3}});
    py::array_t<std::int64_t> starts(Size(at) + 1);
    double *out = vertices.mutable_data();
    std::int64_t *start = starts.mutable_data();
    *start = 0;
    for (std::int64_t i : at) {
        const Qdxf_Polyline &polyline = At(view, i).data.polyline;
        for (int k = 0; k < VertexCount(polyline); ++k)
            Put(out, polyline.vertices[k].location);
        start[1] = start[0] + VertexCount(polyline);
        ++start;
    }
    return Tuple(Objects().polylines,
                 py::make_tuple(std::move(vertices), std::move(starts), Positions(at)));
}

py::array_t<std::uint8_t> Kinds(const EntityView &view) {
    py::array_t<std::uint8_t> kinds(static_cast<py::ssize_t>(view.items->size()));
    std::uint8_t *out = kinds.mutable_data();
    for (const Qdxf_Entity *record : *view.items)
        *out++ = static_cast<std::uint8_t>(render::KindOf(*record));
    return kinds;
}

// The layer names as str, each once in the order the entities first name it
// (None for an entity without one), and each entity's position among them.
py::tuple Layers(const EntityView &view) {
    py::list names;
    std::unordered_map<std::string_view, std::int64_t> byRaw;  // the record's bytes
    std::unordered_map<std::string, std::int64_t> byText;      // as str, in UTF-8
    std::int64_t none = -1;
    py::array_t<std::int64_t> positions(static_cast<py::ssize_t>(view.items->size()));
    std::int64_t *out = positions.mutable_data();
    for (const Qdxf_Entity *record : *view.items) {
        const char *raw = record->layerName;
        std::int64_t position;
        if (!raw) {
            if (none < 0) {
                none = static_cast<std::int64_t>(names.size());
                names.append(py::none());
            }
            position = none;
        } else if (auto found = byRaw.find(raw); found != byRaw.end()) {
            position = found->second;
        } else {
            std::string text = render::ToUtf8(raw);
            auto [named, added] = byText.emplace(text, static_cast<std::int64_t>(names.size()));
            if (added) names.append(py::str(text));
            position = named->second;
            byRaw.emplace(raw, position);
        }
        *out++ = position;
    }
    return py::make_tuple(std::move(names), std::move(positions));
}

EntityView Query(const EntityView &view, py::object kind, py::object layer) {
    std::array<bool, kKinds> kinds{};
    if (kind.is_none()) {
        kinds.fill(true);
    } else {
        for (const std::string &name : Names(kind))
            kinds[KindCode(name)] = true;
    }
    TextSet layers;
    if (!layer.is_none()) {
        for (std::string &name : Names(layer))
            layers.insert(std::move(name));
    }
    auto chosen = std::make_shared<Records>();
    for (const Qdxf_Entity *record : *view.items) {
        if (kinds[render::KindOf(*record)] &&
            (layer.is_none() || TextIn(record->layerName, layers)))
            chosen->push_back(record);
    }
    return {view.owner, std::move(chosen)};
}

py::object Item(const EntityView &view, py::ssize_t index) {
    auto size = static_cast<py::ssize_t>(view.items->size());
    if (index < 0) index += size;
    if (index < 0 || index >= size) throw py::index_error("entity index out of range");
    return NewEntity(view.owner, (*view.items)[static_cast<std::size_t>(index)]);
}

EntityView Slice(const EntityView &view, const py::slice &slice) {
    py::ssize_t start, stop, step, length;
    if (!slice.compute(static_cast<py::ssize_t>(view.items->size()), &start, &stop, &step, &length))
        throw py::error_already_set();
    auto chosen = std::make_shared<Records>();
    chosen->reserve(static_cast<std::size_t>(length));
    for (py::ssize_t i = 0; i < length; ++i)
        chosen->push_back((*view.items)[static_cast<std::size_t>(start + i * step)]);
    return {view.owner, std::move(chosen)};
}

// view[positions] for an array (or list) of positions, the index of a
// column; view[mask] for an array of bools, one for each entity (of a
// comparison with kinds() or layers()).
EntityView Select(const EntityView &view, py::handle chosen) {
    auto size = static_cast<py::ssize_t>(view.items->size());
    auto taken = std::make_shared<Records>();
    auto array = py::array::ensure(chosen);
    if (!array) throw py::error_already_set();
    if (array.dtype().kind() == 'b') {
        auto mask = py::array_t<bool, py::array::c_style>::ensure(array);
        if (mask.ndim() != 1 || mask.shape(0) != size)
            throw py::index_error("a mask has one bool for each entity of the view");
        for (py::ssize_t i = 0; i < size; ++i) {
            if (mask.at(i)) taken->push_back((*view.items)[static_cast<std::size_t>(i)]);
        }
    } else {
        if (array.size() && array.dtype().kind() != 'i' && array.dtype().kind() != 'u')
            throw py::type_error("entity positions are integers");
        auto positions =
            py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(array);
        if (!positions || positions.ndim() != 1)
            throw py::type_error("entity positions are a sequence of integers");
        for (py::ssize_t k = 0; k < positions.shape(0); ++k) {
            std::int64_t i = positions.at(k);
            if (i < 0) i += size;
            if (i < 0 || i >= size) throw py::index_error("entity index out of range");
            taken->push_back((*view.items)[static_cast<std::size_t>(i)]);
        }
    }
    return {view.owner, std::move(taken)};
}

// Entity for entity against another view or a list or tuple of entities.
py::object ViewEqual(const EntityView &view, py::handle other) {
    Records theirs;
    if (py::isinstance<EntityView>(other)) {
        const auto &them = other.cast<const EntityView &>();
        if (them.items == view.items) return py::bool_(true);
        theirs = *them.items;
    } else if (py::isinstance<py::list>(other) || py::isinstance<py::tuple>(other)) {
        for (py::handle item : other) {
            if (!IsEntity(item)) return py::bool_(false);
            theirs.push_back(&RecordOf(item));
        }
    } else {
        return py::reinterpret_borrow<py::object>(Py_NotImplemented);
    }
    if (theirs.size() != view.items->size()) return py::bool_(false);
    for (std::size_t i = 0; i < theirs.size(); ++i) {
        if (!Equal(*(*view.items)[i], *theirs[i])) return py::bool_(false);
    }
    return py::bool_(true);
}

// The positions of the entities equal to `entity`, up to `limit` of them.
std::vector<std::size_t> Find(const EntityView &view, py::handle entity, std::size_t limit) {
    std::vector<std::size_t> found;
    if (!IsEntity(entity)) return found;
    for (std::size_t i = 0; i < view.items->size() && found.size() < limit; ++i) {
        if (Equal(*(*view.items)[i], RecordOf(entity))) found.push_back(i);
    }
    return found;
}

std::string ViewRepr(const EntityView &view) {
    std::string text = "[";
    for (const Qdxf_Entity *record : *view.items)
        text += (text.size() > 1 ? ", " : "") + Repr(*record);
    return text + "]";
}

PyTypeObject *MakeType(PyType_Spec &description) {
    PyObject *type = PyType_FromSpec(&description);
    if (!type) throw py::error_already_set();
    return reinterpret_cast<PyTypeObject *>(type);
}

}  // namespace

bool Batch::Full() const {
    return entities_.size() == entities_.capacity() || bytes_ >= kBatchBytes;
}

void *Batch::Allocate(std::size_t size) {
    size = (size + 7) & ~std::size_t{7};  // the members' alignment: doubles and pointers
    if (size > left_) {
        std::size_t block = std::max(size, kBlockBytes);
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(block));
        free_ = blocks_.back().get();
        left_ = block;
    }
    void *taken = free_;
    free_ += size;
    left_ -= size;
    bytes_ += size;
    return taken;
}

char *Batch::Copy(const char *text) {
    if (!text) return nullptr;
    std::size_t size = std::strlen(text) + 1;
    return static_cast<char *>(std::memcpy(Allocate(size), text, size));
}

const Qdxf_Entity *Batch::Add(const Qdxf_Entity &entity) {
    Qdxf_Entity copy = entity;
    copy.next = copy.prev = nullptr;
    copy.layer = nullptr;  // the references point into a drawing the batch does not hold
    copy.block = nullptr;
    copy.layerName = Copy(entity.layerName);
    copy.handle = Copy(entity.handle);
    copy.ltypeName = Copy(entity.ltypeName);
    auto &data = copy.data;
    switch (render::KindOf(entity)) {
        case QDXF_TEXT:
            data.text.text = Copy(entity.data.text.text);
            data.text.style = Copy(entity.data.text.style);
            if (const Qdxf_Coord *point = entity.data.text.alignmentPoint)
                data.text.alignmentPoint = static_cast<Qdxf_Coord *>(
                    std::memcpy(Allocate(sizeof *point), point, sizeof *point));
            break;
        case QDXF_INSERT:
            data.insert.blockName = Copy(entity.data.insert.blockName);
            break;
        case QDXF_POLYLINE:
        case QDXF_3DFACE:
            if (const Qdxf_Vertex *vertices = entity.data.polyline.vertices) {
                auto count = static_cast<std::size_t>(VertexCount(entity.data.polyline));
                auto *copied = static_cast<Qdxf_Vertex *>(Allocate(count * sizeof *vertices));
                for (std::size_t i = 0; i < count; ++i) {
                    copied[i] = vertices[i];
                    copied[i].ltypeName = Copy(vertices[i].ltypeName);
                }
                data.polyline.vertices = copied;
            }
            break;
        default:
            break;
    }
    entities_.push_back(copy);
    return &entities_.back();
}

py::object Owner(std::shared_ptr<const void> keeper) {
    return py::capsule(new std::shared_ptr<const void>(std::move(keeper)),
                       [](void *kept) { delete static_cast<std::shared_ptr<const void> *>(kept); });
}

py::object NewEntity(py::handle owner, const Qdxf_Entity *record) {
    auto *entity = PyObject_New(EntityObject, Objects().entity);
    if (!entity) throw py::error_already_set();
    entity->record = record;
    entity->owner = owner.inc_ref().ptr();
    return py::reinterpret_steal<py::object>(reinterpret_cast<PyObject *>(entity));
}

py::object NewIterator(std::unique_ptr<Cursor> cursor) {
    auto *iterator = PyObject_New(IteratorObject, Objects().iterator);
    if (!iterator) throw py::error_already_set();
    iterator->cursor = cursor.release();
    return py::reinterpret_steal<py::object>(reinterpret_cast<PyObject *>(iterator));
}

std::shared_ptr<const Records> ListRecords(const Qdxf_Entity *first) {
    auto items = std::make_shared<Records>();
    for (const Qdxf_Entity *entity = first; entity; entity = entity->next)
        items->push_back(entity);
    return items;
}

void DefineEntities(py::module_ &module) {
    Shared &shared = Objects();
    py::tuple kindNames(kKinds);
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
        PyObject *name =
            PyUnicode_InternFromString(render::KindName(static_cast<Qdxf_EntityType>(kind)));
        if (!name) throw py::error_already_set();
        shared.kindNames[kind] = name;
        kindNames[kind] = py::reinterpret_borrow<py::object>(name);
    }
    module.attr("KINDS") = kindNames;

    // The common members, then each member of a kind's data that no common
    // member's name hides (a POLYLINE's type and elevation), found by writing
    // an empty entity of each kind.
    static auto &members =
        *new std::vector<PyGetSetDef>(std::begin(kCommonMembers), std::end(kCommonMembers));
    static auto &names = *new std::vector<std::string>;
    DataNames data;
    for (int kind = QDXF_INVALID; kind < kKinds; ++kind) {
        Qdxf_Entity empty{};
        empty.type = static_cast<Qdxf_EntityType>(kind);
        cli::WriteEntity(data, empty);
    }
    names.reserve(data.names.size());  // the getters hold their names' addresses
    for (std::string &name : data.names) {
        auto hidden = [&name](const PyGetSetDef &common) { return name == common.name; };
        if (std::none_of(std::begin(kCommonMembers), std::end(kCommonMembers), hidden))
            names.push_back(std::move(name));
    }
    for (const std::string &name : names)
        members.push_back(
            {name.c_str(), &DataAttribute, nullptr, nullptr, const_cast<std::string *>(&name)});
    members.push_back({nullptr, nullptr, nullptr, nullptr, nullptr});
    for (PyType_Slot &slot : kEntitySlots) {
        if (slot.slot == Py_tp_getset) slot.pfunc = members.data();
    }
    shared.entity = MakeType(kEntityType);
    shared.iterator = MakeType(kIteratorType);
    module.attr("Entity") =
        py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject *>(shared.entity));
    module.attr("EntityIterator") =
        py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject *>(shared.iterator));

    py::object namedtuple = py::module_::import("collections").attr("namedtuple");
    auto tuple = [&](const char *name, const char *fields) {
        py::object type = namedtuple(name, fields, py::arg("module") = "vexlith");
        module.attr(name) = type;
        return type.release().ptr();
    };
    shared.lines = tuple("Lines", "points index");
    shared.circles = tuple("Circles", "centers radii index");
    shared.arcs = tuple("Arcs", "centers radii start_angles end_angles index");
    shared.texts = tuple("Texts", "positions heights angles strings index");
    shared.polylines = tuple("Polylines", "vertices starts index");
    module.def("use_record", [](py::object record) {
        Py_XDECREF(std::exchange(Objects().record, record.release().ptr()));
    });

    py::class_<EntityView> view(module, "EntityView");
    view.def("__len__", [](const EntityView &v) { return v.items->size(); })
        .def("__getitem__", &Item)
        .def("__getitem__", &Slice)
        .def("__getitem__", &Select)
        .def("__iter__",
             [](const EntityView &v) { return NewIterator(std::make_unique<ViewCursor>(v)); })
        .def("__contains__",
             [](const EntityView &v, py::handle e) { return !Find(v, e, 1).empty(); })
        .def("index",
             [](const EntityView &v, py::handle e) {
                 std::vector<std::size_t> found = Find(v, e, 1);
                 if (found.empty()) throw py::value_error("entity is not in the view");
                 return found[0];
             })
        .def("count", [](const EntityView &v, py::handle e) { return Find(v, e, SIZE_MAX).size(); })
        .def("__eq__", &ViewEqual)
        .def("__repr__", &ViewRepr)
        .def("query", &Query, py::arg("kind") = py::none(), py::arg("layer") = py::none())
        .def("kinds", &Kinds)
        .def("layers", &Layers)
        .def("lines", &Lines)
        .def("circles", &Circles)
        .def("arcs", &Arcs)
        .def("texts", &Texts)
        .def("polylines", &Polylines);
    view.attr("__hash__") = py::none();
}

}  // namespace vexlith_python
