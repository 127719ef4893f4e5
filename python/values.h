// SPDX-License-Identifier: MIT
// The records as Python values, through the calls that write the tool's JSON
// (json.h): one schema for `vexlith dump --json`, to_dict() and an entity's
// members. Used with the GIL held.
#ifndef VEXLITH_PYTHON_VALUES_H
#define VEXLITH_PYTHON_VALUES_H

#include <pybind11/pybind11.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "json.h"
#include "pellund.h"

namespace vexlith_python {

namespace py = pybind11;

// The values written become dicts, lists, str, float, int and None. As the
// document (`exact`), a real that is not finite is the string the JSON has for
// it; as values it stays a float. Only() keeps the one value at a path of
// keys (an entity's "data", "start") and makes nothing else; Skip() leaves one
// member of the outermost object out (a block's "entities").
class PythonValues final : public cli::Json {
public:
    explicit PythonValues(bool exact) : exact_(exact) {}
    PythonValues &Only(std::string_view first, std::string_view second = {});
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
    enum class Fate { kDrop, kKeep, kPass };  // kPass: a container on the way to Only()'s value
    struct Level {
        py::object container;  // null unless kept
        Fate fate;
    };
    Fate Next() const;
    Json &Scalar(Fate fate, py::object value);
    Json &Open(py::object (*make)());
    void Place(py::object value);

    bool exact_;
    std::array<std::string_view, 2> path_{};
    std::size_t pathLength_ = 0;
    std::string_view skip_;
    std::vector<Level> open_;  // innermost last
    std::string key_;
    py::object result_;
};

// A text of a record as str (UTF-8 kept, other bytes as Windows-1252, as the
// JSON has it); None for null.
py::object Text(const char *raw);

// The report chain's messages, outermost first; the chain is released.
py::list Chain(qerr_Report *report);

}  // namespace vexlith_python

#endif
