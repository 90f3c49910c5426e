#include "binding/python_text.hpp"

#include "binding/python_error.hpp"

namespace vemo {

PyRef type_qualname(PyObject* object) {
    PyRef name = PyRef::steal(PyType_GetQualName(Py_TYPE(object)));
    if (name && PyUnicode_Check(name.get())) return name;
    if (!name) take_raised_exception();
    return require(PyUnicode_FromString("<failed to extract type name>"));
}

void raise_cannot_convert(PyObject* object, const char* target) {
    PyRef name = type_qualname(object);
    PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to '%s'", name.get(), target);
    throw PyErrorSet();
}

std::string str_or(PyObject* object, const char* fallback) {
    PyRef text = PyRef::steal(PyObject_Str(object));
    const char* utf8 = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
    if (utf8 == nullptr) {
        PyErr_Clear();
        return fallback;
    }
    return utf8;
}

}  // namespace vemo
