#include "zorv_interface/return_value.h"

namespace zorv_interface {

namespace {

// Records rely on their own defaults (zeros, empty texts, Header::error_code -1);
// scalars and enums value-initialise to 0, the NONE member of every enum.
template <typename T>
struct Placeholder {
    static T make() { return T{}; }
};

template <>
struct Placeholder<bool> {
    static bool make() { return true; }
};

template <>
struct Placeholder<ScriptRuntimeState> {
    static ScriptRuntimeState make() { return ScriptRuntimeState::STOPPED; }
};

template <>
struct Placeholder<std::string> {
    static std::string make() { return "\"str\""; }
};

// Only a vector that is itself the result gets six elements; vectors inside
// records stay empty.
template <typename E>
struct Placeholder<std::vector<E>> {
    static std::vector<E> make() { return std::vector<E>(6, Placeholder<E>::make()); }
};

}  // namespace

template <typename T>
std::decay_t<T> ReturnValue<T>::operator()() {
    return Placeholder<std::decay_t<T>>::make();
}

#define ZORV_DEFINE_RETURN_VALUE(T)                      \
    template class ReturnValue<T>;                       \
    template class ReturnValue<std::vector<T>>;          \
    template class ReturnValue<const std::vector<T>&>;
ZORV_RETURN_VALUE_TYPES(ZORV_DEFINE_RETURN_VALUE)
#undef ZORV_DEFINE_RETURN_VALUE

}  // namespace zorv_interface
