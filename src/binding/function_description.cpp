#include "binding/function_description.hpp"

#include <string>
#include <string_view>

#include "binding/python_error.hpp"
#include "binding/python_text.hpp"

namespace vemo {
namespace {

constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

[[noreturn]] void raise_too_many_positional(const FunctionDescription& description,
                                            Py_ssize_t given) {
    const char* verb = given == 1 ? "was" : "were";
    const std::size_t count = description.parameters.size();
    if (description.required == count) {
        PyErr_Format(PyExc_TypeError, "%s() takes %zu positional arguments but %zd %s given",
                     description.name, count, given, verb);
    } else {
        PyErr_Format(PyExc_TypeError,
                     "%s() takes from %zu to %zu positional arguments but %zd %s given",
                     description.name, description.required, count, given, verb);
    }
    throw PyErrorSet();
}

[[noreturn]] void raise_unexpected_keyword(const FunctionDescription& description,
                                           PyObject* keyword) {
    PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", description.name,
                 keyword);
    throw PyErrorSet();
}

[[noreturn]] void raise_multiple_values(const FunctionDescription& description,
                                        std::size_t parameter) {
    PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", description.name,
                 description.parameters[parameter].name);
    throw PyErrorSet();
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
std::string quoted_name_list(const std::vector<const char*>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            if (names.size() > 2) list += ',';
            list += i + 1 == names.size() ? " and " : " ";
        }
        list += '\'';
        list += names[i];
        list += '\'';
    }
    return list;
}

[[noreturn]] void raise_missing(const FunctionDescription& description,
                                const std::vector<const char*>& missing) {
    const std::string list = quoted_name_list(missing);
    PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional %s: %s", description.name,
                 missing.size(), missing.size() == 1 ? "argument" : "arguments", list.c_str());
    throw PyErrorSet();
}

// The parameter that the keyword names, or kNoMatch. A name that cannot be encoded as UTF-8
// cannot equal any parameter name.
std::size_t parameter_named(const FunctionDescription& description, PyObject* keyword) {
    if (!PyUnicode_Check(keyword)) raise_cannot_convert(keyword, "PyString");
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(keyword, &size);
    if (utf8 == nullptr) {
        take_raised_exception();
        return kNoMatch;
    }
    const std::string_view name(utf8, static_cast<std::size_t>(size));
    for (std::size_t i = 0; i < description.parameters.size(); ++i) {
        if (name == description.parameters[i].name) return i;
    }
    return kNoMatch;
}

}  // namespace

BoundArguments bind_arguments(const FunctionDescription& description, PyObject* const* args,
                              Py_ssize_t positional_count, PyObject* keyword_names) {
    const std::size_t count = description.parameters.size();
    const auto positional = static_cast<std::size_t>(positional_count);
    if (positional > count) raise_too_many_positional(description, positional_count);

    std::vector<PyObject*> slots(count, nullptr);
    for (std::size_t i = 0; i < positional; ++i) slots[i] = args[i];

    const Py_ssize_t keyword_count = keyword_names == nullptr ? 0 : PyTuple_GET_SIZE(keyword_names);
    for (Py_ssize_t k = 0; k < keyword_count; ++k) {
        PyObject* keyword = PyTuple_GET_ITEM(keyword_names, k);
        const std::size_t parameter = parameter_named(description, keyword);
        if (parameter == kNoMatch) raise_unexpected_keyword(description, keyword);
        if (slots[parameter] != nullptr) raise_multiple_values(description, parameter);
        slots[parameter] = args[positional_count + k];
    }

    if (positional < description.required) {
        std::vector<const char*> missing;
        for (std::size_t i = positional; i < description.required; ++i) {
            if (slots[i] == nullptr) missing.push_back(description.parameters[i].name);
        }
        if (!missing.empty()) raise_missing(description, missing);
    }
    return BoundArguments(description, std::move(slots));
}

std::string FunctionDescription::text_signature() const {
    std::string text = std::string(name) + '(';
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (i > 0) text += ", ";
        text += parameters[i].name;
        if (parameters[i].default_text != nullptr) (text += '=') += parameters[i].default_text;
    }
    return text + ")\n--\n\n";
}

}  // namespace vemo
