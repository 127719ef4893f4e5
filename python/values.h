// SPDX-License-Identifier: MIT
// The records as Python values, through the calls that write the tool's JSON
// (json.h): one schema for `vexlith dump --json`, to_dict() and an entity's
// members. Used with the GIL held.
#ifndef VEXLITH_PYTHON_VALUES_H
#define VEXLITH_PYTHON_VALUES_H

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <vector>

#include "json.h"
#include "pellund.h"

namespace vexlith_python {

namespace py = pybind11;

// The values written become dicts, lists, str, float, int and None. As the
// document (`exact`), a real that is not finite is the string the JSON has for
// it; as values it stays a float. Only() keeps the value of one member of
// the outermost object (an entity's "layerName") and makes nothing else;
// Skip() leaves one member of it out (a block's "entities").
class PythonValues final : public cli::Json {
public:
    explicit PythonValues(bool exact) : exact_(exact) {}
    PythonValues &Only(std::string_view key);
    PythonValues &Skip(std::string_view key);
    // What was written, or a null object when Only() found nothing.
    py::object Take() { return std::move(result_); }

    Json &Object() override;
    Json &Array() override;
    Json &End() override;
    Json &Key(std::string_view key) override;
    Json &String(std::string_view text) override;
    Json &Real(double value) override;
    Json &Integer(long long value) override;
    Json &Null() override;

private:
    enum class Fate { kDrop, kKeep, kPass };  // kPass: the object whose member Only() keeps
    struct Level {
        py::object container;  // null unless kept
        Fate fate;
    };
    Fate Next() const;
    Json &Scalar(Fate fate, py::object value);
    Json &Open(py::object (*make)());
    void Place(py::object value);

    bool exact_;
    std::string_view only_;
    std::string_view skip_;
    std::vector<Level> open_;  // innermost last
    // The key of the value being written: the writers pass names that live at
    // least until their value is written.
    std::string_view key_;
    py::object result_;
};

// A text of a record as str (UTF-8 kept, other bytes as Windows-1252, as the
// JSON has it); None for null.
py::object Text(const char *raw);

// The report chain's messages, outermost first; the chain is released.
py::list Chain(qerr_Report *report);
// The repairs of a recovering read, which it releases, as tuples (line,
// offset, action name, loss, count, found, message).
py::list Repairs(Qdxf_Repair *repairs);

}  // namespace vexlith_python

#endif
