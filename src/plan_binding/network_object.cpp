#include "plan_binding/network_object.hpp"

#include <memory>
#include <new>

#include "binding/interruptible.hpp"
#include "binding/python_error.hpp"
#include "plan_binding/array_view.hpp"
#include "plan_binding/computation_error.hpp"

namespace vemo {
namespace {

struct Arrays {
    ArrayView tail, head, frequency, cost;
};

struct Prepared {
    Arrays arrays;
    Network network;

    explicit Prepared(Arrays arrays_in)
        : arrays(std::move(arrays_in)),
          network({arrays.tail.span<const std::size_t>(), arrays.head.span<const std::size_t>(),
                   arrays.frequency.span<const float>(), arrays.cost.span<const float>()}) {}
};

struct NetworkObject {
    PyObject_HEAD Prepared* prepared;
};

PyTypeObject* network_type = nullptr;

Arrays arrays_of(PyObject* args) {
    PyObject *tail, *head, *frequency, *cost;
    if (!PyArg_ParseTuple(args, "OOOO:Network", &tail, &head, &frequency, &cost))
        raise_current_error();
    Arrays arrays{ArrayView(tail, "tail", Element::u64, 1, false),
                  ArrayView(head, "head", Element::u64, 1, false),
                  ArrayView(frequency, "frequency", Element::f32, 1, false),
                  ArrayView(cost, "cost", Element::f32, 1, false)};
    const std::size_t count = arrays.tail.size();
    if (count == 0 || arrays.head.size() != count || arrays.frequency.size() != count ||
        arrays.cost.size() != count)
        raise_error(PyExc_ValueError, "Network: four non-empty arrays of one length are needed");
    return arrays;
}

PyObject* network_new(PyTypeObject* type, PyObject* args, PyObject* keywords) {
    return plan_boundary([&] {
        if (keywords != nullptr && PyDict_GET_SIZE(keywords) != 0)
            raise_error(PyExc_TypeError, "Network takes positional arguments only");
        auto prepared = std::make_unique<Prepared>(arrays_of(args));
        run_unlocked([&] {
            prepared->network.prepare();
            return 0;
        });
        PyRef object = require(type->tp_alloc(type, 0));
        reinterpret_cast<NetworkObject*>(object.get())->prepared = prepared.release();
        return object;
    });
}

void network_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    delete reinterpret_cast<NetworkObject*>(self)->prepared;
    type->tp_free(self);
    Py_DECREF(type);
}

PyObject* node_count(PyObject* self, void*) {
    return PyLong_FromSize_t(
        reinterpret_cast<NetworkObject*>(self)->prepared->network.node_count());
}

PyObject* arc_count(PyObject* self, void*) {
    return PyLong_FromSize_t(reinterpret_cast<NetworkObject*>(self)->prepared->network.arc_count());
}

PyGetSetDef accessors[] = {
    {"node_count", node_count, nullptr, "One more than the largest node index.", nullptr},
    {"arc_count", arc_count, nullptr, "The number of arcs.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(network_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(network_dealloc)},
    {Py_tp_getset, accessors},
    {Py_tp_doc, const_cast<char*>("Network(tail, head, frequency, cost)\n--\n\n"
                                  "An arc network prepared for assignments.")},
    {0, nullptr},
};

// The type's name, size and slots, from which the interpreter makes the type object.
PyType_Spec network_type_description = {"vemo_plan._core.Network", sizeof(NetworkObject), 0,
                                        Py_TPFLAGS_DEFAULT, slots};

}  // namespace

void add_network_type(PyObject* module) {
    if (network_type == nullptr) {
        network_type = reinterpret_cast<PyTypeObject*>(
            require(PyType_FromSpec(&network_type_description)).release());
    }
    require_status(
        PyModule_AddObjectRef(module, "Network", reinterpret_cast<PyObject*>(network_type)));
}

Network& prepared_network(PyObject* object, const char* name) {
    if (!PyObject_TypeCheck(object, network_type)) {
        PyErr_Format(PyExc_TypeError, "%s: a _core.Network is needed", name);
        throw PyErrorSet();
    }
    return reinterpret_cast<NetworkObject*>(object)->prepared->network;
}

}  // namespace vemo
