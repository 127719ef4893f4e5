// SPDX-License-Identifier: MIT
// Entities for Python without a Python object per member: an Entity is a
// record and what keeps it alive, and reads a member when asked; an
// EntityView is a sequence of records of one drawing, whose columns (kinds,
// layers, the geometry of a kind) come out as numpy arrays in one pass.
// Entities and the iterators that make them are plain CPython types, as an
// entity is made for every step of a loop: one costs an allocation and two
// reference counts, and a member a call through the type's slot.
#ifndef VEXLITH_PYTHON_ENTITIES_H
#define VEXLITH_PYTHON_ENTITIES_H

#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "vexlith.h"

namespace vexlith_python {

namespace py = pybind11;

// Entities copied out of a streaming read (or one entity, copied to outlive
// its drawing): every text and vertex array of each in the batch's own
// blocks, so that the batch holds them whatever happens to the originals.
class Batch {
public:
    explicit Batch(std::size_t capacity) { entities_.reserve(capacity); }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

    // Full when it holds its capacity, or a megabyte of texts and vertices.
    bool Full() const;
    const Qdxf_Entity *Add(const Qdxf_Entity &entity);
    std::size_t Size() const { return entities_.size(); }
    const Qdxf_Entity *At(std::size_t i) const { return &entities_[i]; }

private:
    void *Allocate(std::size_t size);
    char *Copy(const char *text);

    std::vector<Qdxf_Entity> entities_;  // never past its capacity: the addresses stay
    std::vector<std::unique_ptr<char[]>> blocks_;
    char *free_ = nullptr;
    std::size_t left_ = 0;
    std::size_t bytes_ = 0;
};

// What keeps records alive (a drawing, a batch), as the Python object each
// entity of them holds.
py::object Owner(std::shared_ptr<const void> keeper);

// A new Entity of `record`, which `owner` keeps alive.
py::object NewEntity(py::handle owner, const Qdxf_Entity *record);

// The steps of an iterator: Next() gives a new reference, or null at the end
// (with no error set) or for a failure (with the error set).
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual PyObject *Next() = 0;
};
py::object NewIterator(std::unique_ptr<Cursor> cursor);

using Records = std::vector<const Qdxf_Entity *>;

// Entities of one drawing, in file order: a section (ENTITIES, a block's) or
// a selection from one.
struct EntityView {
    py::object owner;
    std::shared_ptr<const Records> items;
};

// The records of a list, first to last.
std::shared_ptr<const Records> ListRecords(const Qdxf_Entity *first);

// Entity, EntityView and the iterator as classes of the module; the column
// tuples as named tuples; use_record(), which the package calls with its
// Record class.
void DefineEntities(py::module_ &module);

}  // namespace vexlith_python

#endif
