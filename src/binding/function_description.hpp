// Binding of fast-call arguments (positional values, then keyword values named by a tuple) to
// a function's parameters, with the interpreter's wording for every binding error.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "binding/extract_argument.hpp"
#include "binding/py_ref.hpp"

namespace vemo {

// A parameter's name and, for an optional one, its default as the text signature shows it.
struct Parameter {
    const char* name;
    const char* default_text = nullptr;
};

// Every parameter may be passed by position or by keyword; the first `required` ones must be.
struct FunctionDescription {
    const char* name;
    std::span<const Parameter> parameters;
    std::size_t required;

    // The documentation text that gives the function its __text_signature__ and no __doc__:
    // "name(a, b, c=0.01)" followed by a newline, "--" and two newlines.
    std::string text_signature() const;
};

// The bound arguments of one call, borrowed from the call's argument array.
class BoundArguments {
public:
    BoundArguments(const FunctionDescription& description, std::vector<PyObject*> slots)
        : description_(description), slots_(std::move(slots)) {}

    // Converts parameter `index`, naming it in a conversion error.
    template <class Convert>
    auto extract(std::size_t index, Convert convert) const {
        return extract_argument(slots_[index], description_.parameters[index].name, convert);
    }

    // Like `extract`, for an optional parameter: `fallback` when it was not supplied.
    template <class Convert, class T>
    T extract_or(std::size_t index, Convert convert, T fallback) const {
        return slots_[index] == nullptr ? fallback : extract(index, convert);
    }

private:
    const FunctionDescription& description_;
    std::vector<PyObject*> slots_;
};

// Binds `args` (positional_count values, then one value per name of `keyword_names`, which may
// be null) or raises the TypeError of the first binding error.
BoundArguments bind_arguments(const FunctionDescription& description, PyObject* const* args,
                              Py_ssize_t positional_count, PyObject* keyword_names);

}  // namespace vemo
