// SPDX-License-Identifier: MIT
// The records as Python values (see values.h).
#include "values.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "text.h"

namespace vexlith_python {
namespace {

struct Hash : std::hash<std::string_view> {
    using is_transparent = void;
};

// A member's name as a str, made once: the dicts of every record share their
// keys. The names are the schema's, a few hundred at most; they live as long
// as the process (the map is never destroyed, so no str is released after the
// interpreter has gone).
PyObject *KeyObject(std::string_view key) {
    static auto &keys = *new std::unordered_map<std::string, PyObject *, Hash, std::equal_to<>>;
    auto found = keys.find(key);
    if (found != keys.end()) return found->second;
    PyObject *made = PyUnicode_FromStringAndSize(key.data(), static_cast<Py_ssize_t>(key.size()));
    if (!made) throw py::error_already_set();
    PyUnicode_InternInPlace(&made);
    return keys.emplace(key, made).first->second;
}

py::object MakeDict() {
    return py::dict();
}

py::object MakeList() {
    return py::list();
}

}  // namespace

PythonValues &PythonValues::Only(std::string_view key) {
    only_ = key;
    return *this;
}

PythonValues &PythonValues::Skip(std::string_view key) {
    skip_ = key;
    return *this;
}

PythonValues::Fate PythonValues::Next() const {
    if (open_.empty()) return only_.empty() ? Fate::kKeep : Fate::kPass;
    const Level &top = open_.back();
    if (top.fate == Fate::kDrop) return Fate::kDrop;
    if (top.fate == Fate::kPass) return key_ == only_ ? Fate::kKeep : Fate::kDrop;
    return open_.size() == 1 && !skip_.empty() && key_ == skip_ ? Fate::kDrop : Fate::kKeep;
}

void PythonValues::Place(py::object value) {
    if (open_.empty() || open_.back().fate == Fate::kPass) {
        result_ = std::move(value);
        return;
    }
    PyObject *into = open_.back().container.ptr();
    int status = PyDict_Check(into) ? PyDict_SetItem(into, KeyObject(key_), value.ptr())
                                    : PyList_Append(into, value.ptr());
    if (status != 0) throw py::error_already_set();
}

cli::Json &PythonValues::Scalar(Fate fate, py::object value) {
    if (fate == Fate::kKeep) Place(std::move(value));
    return *this;
}

cli::Json &PythonValues::Open(py::object (*make)()) {
    Fate fate = Next();
    py::object container;
    if (fate == Fate::kKeep) {
        container = make();
        Place(container);
    }
    open_.push_back({std::move(container), fate});
    return *this;
}

cli::Json &PythonValues::Object() {
    return Open(&MakeDict);
}

cli::Json &PythonValues::Array() {
    return Open(&MakeList);
}

cli::Json &PythonValues::End() {
    open_.pop_back();
    return *this;
}

cli::Json &PythonValues::Key(std::string_view key) {
    key_ = key;
    return *this;
}

cli::Json &PythonValues::String(std::string_view text) {
    Fate fate = Next();
    if (fate != Fate::kKeep) return *this;
    return Scalar(fate, py::str(text.data(), text.size()));
}

cli::Json &PythonValues::Real(double value) {
    if (exact_ && !std::isfinite(value)) return Json::Real(value);
    Fate fate = Next();
    return fate == Fate::kKeep ? Scalar(fate, py::float_(value)) : *this;
}

cli::Json &PythonValues::Integer(long long value) {
    Fate fate = Next();
    return fate == Fate::kKeep ? Scalar(fate, py::int_(value)) : *this;
}

cli::Json &PythonValues::Null() {
    return Scalar(Next(), py::none());
}

py::object Text(const char *raw) {
    if (!raw) return py::none();
    // Most texts are UTF-8 (or ASCII) already: decoded as they are.
    if (PyObject *text =
            PyUnicode_DecodeUTF8(raw, static_cast<Py_ssize_t>(std::strlen(raw)), nullptr))
        return py::reinterpret_steal<py::object>(text);
    PyErr_Clear();
    std::string utf8 = render::ToUtf8(raw);
    return py::str(utf8.data(), utf8.size());
}

py::list Repairs(Qdxf_Repair *repairs) {
    std::unique_ptr<Qdxf_Repair, decltype(&qdxf_RepairsFree)> owned(repairs, &qdxf_RepairsFree);
    static const char *const kActions[] = {"skipped", "replaced", "inserted", "renamed",
                                           "dropped"};
    py::list list;
    for (const Qdxf_Repair *repair = repairs; repair; repair = repair->next) {
        int action = std::clamp(repair->action, 1, 5) - 1;
        list.append(py::make_tuple(repair->line, repair->offset, kActions[action], repair->loss,
                                   repair->count, Text(repair->found), Text(repair->message)));
    }
    return list;
}

py::list Chain(qerr_Report *report) {
    std::unique_ptr<qerr_Report, decltype(&qerr_ReportFree)> owned(report, &qerr_ReportFree);
    py::list chain;
    for (const qerr_Report *level = report; level; level = qerr_ReportInner(level))
        chain.append(Text(qerr_ReportMessage(level)));
    return chain;
}

}  // namespace vexlith_python
