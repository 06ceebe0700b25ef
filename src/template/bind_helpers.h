// Building blocks of the script classes: value conversion in both directions and builders that
// turn accessors, data members and member functions into script members. Internal to the
// bindings (bind_*.cpp).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <typeindex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/core/property_def.h"
#include "model/core/super_collection.h"
#include "platform/script_engine.h"
#include "support/convert.h"
#include "support/variant.h"

namespace velmora::bind {

using ClassMap = std::unordered_map<std::type_index, ScriptClass>;

// Each file of the bindings fills its part of the map.
void BindProject(ClassMap& classes);
void BindEntities(ClassMap& classes);
void BindCollections(ClassMap& classes);
void BindMisc(ClassMap& classes);
void BindSchema(ClassMap& classes);
void BindXml(ClassMap& classes);
void BindEngineObjects(ClassMap& classes);
// The Load members that read an XML element, added to classes BindMisc binds.
void BindXmlReaders(ClassMap& classes);

template <class T> struct IsSharedPtr : std::false_type {};
template <class T> struct IsSharedPtr<std::shared_ptr<T>> : std::true_type {};
template <class T> struct IsVector : std::false_type {};
template <class T> struct IsVector<std::vector<T>> : std::true_type {};

// A C++ result as a script value: objects by reference (nullptr gives empty), lists of objects
// as arrays.
template <class R>
Variant ToScript(const R& value) {
    if constexpr (std::is_same_v<R, Variant>) {
        return value;
    } else if constexpr (IsSharedPtr<R>::value) {
        static_assert(std::is_base_of_v<AutomationObject, typename R::element_type>);
        return value ? Variant(ObjectRef(value)) : Variant();
    } else if constexpr (IsVector<R>::value) {
        Variant::Array items;
        items.reserve(value.size());
        for (const auto& item : value) items.push_back(ToScript(item));
        return Variant(std::move(items));
    } else if constexpr (std::is_same_v<R, std::string> || std::is_same_v<R, std::string_view>) {
        return Variant(std::string(value));
    } else {
        static_assert(std::is_same_v<R, bool> || std::is_same_v<R, std::int16_t> ||
                      std::is_same_v<R, std::int32_t> || std::is_same_v<R, float> || std::is_same_v<R, double>);
        return Variant(value);
    }
}

// The registered property type of a C++ value type.
template <class T>
constexpr PropType PropTypeOf() {
    if constexpr (std::is_same_v<T, std::string>) return PropType::String;
    else if constexpr (std::is_same_v<T, bool>) return PropType::Boolean;
    else if constexpr (std::is_same_v<T, std::int16_t>) return PropType::Integer;
    else if constexpr (std::is_same_v<T, std::int32_t>) return PropType::Long;
    else if constexpr (std::is_same_v<T, float>) return PropType::Single;
    else if constexpr (std::is_same_v<T, double>) return PropType::Double;
    else {
        static_assert(std::is_same_v<T, Variant>);
        return PropType::Variant;
    }
}

// An assigned value converted as the typed property setters convert it: what does not convert
// gives the type's empty form.
template <class T>
T AssignedValue(const Variant& value) {
    return FromVariant<PropTypeOf<T>()>(value);
}

[[noreturn]] void ThrowTypeMismatch(std::string_view member);

// Argument `index` of a call; a missing argument is empty.
inline const Variant& ArgAt(ScriptArgs args, std::size_t index) {
    static const Variant kEmpty;
    return index < args.size() ? args[index] : kEmpty;
}

// How an argument is read for a parameter of type P: `Stored` keeps the converted value for the
// length of the call, `Pass` hands it to the parameter.
template <class P, class D = std::remove_cvref_t<P>>
struct ArgOf {
    static_assert(std::is_base_of_v<AutomationObject, D>, "no script conversion for this parameter type");
    // An object passed by reference must be there and of the right class.
    using Stored = std::shared_ptr<D>;
    static Stored Read(const Variant& value, std::string_view member) {
        auto object = value.ObjectAs<D>();
        if (!object) ThrowTypeMismatch(member);
        return object;
    }
    static const D& Pass(const Stored& stored) { return *stored; }
};

template <class P, class D>
    requires std::is_same_v<D, std::string> || std::is_same_v<D, std::string_view>
struct ArgOf<P, D> {
    using Stored = std::string;
    static Stored Read(const Variant& value, std::string_view member) {
        if (value.IsObject() || value.Type() == VarType::Array) ThrowTypeMismatch(member);
        return value.ToText();
    }
    static const std::string& Pass(const Stored& stored) { return stored; }
};

template <class P, class D>
    requires std::is_same_v<D, Variant>
struct ArgOf<P, D> {
    using Stored = Variant;
    static Stored Read(const Variant& value, std::string_view) { return value; }
    static const Variant& Pass(const Stored& stored) { return stored; }
};

template <class P, class D>
    requires std::is_arithmetic_v<D>
struct ArgOf<P, D> {
    using Stored = D;
    static Stored Read(const Variant& value, std::string_view member) {
        std::optional<D> converted;
        if constexpr (std::is_same_v<D, bool>) converted = ToBoolean(value);
        else if constexpr (std::is_same_v<D, std::int16_t>) converted = ToInteger(value);
        else if constexpr (std::is_same_v<D, std::int32_t>) converted = ToLong(value);
        else {
            static_assert(std::is_same_v<D, double>, "no script conversion for this number type");
            converted = ToDouble(value);
        }
        if (!converted) ThrowTypeMismatch(member);
        return *converted;
    }
    static D Pass(Stored stored) { return stored; }
};

template <class P, class D>
    requires IsSharedPtr<D>::value
struct ArgOf<P, D> {
    using Stored = D;
    // Empty or null give nullptr; anything else must be an object of the class.
    static Stored Read(const Variant& value, std::string_view member) {
        if (value.IsEmpty() || value.IsNull()) return nullptr;
        auto object = value.ObjectAs<typename D::element_type>();
        if (!object) ThrowTypeMismatch(member);
        return object;
    }
    static const D& Pass(const Stored& stored) { return stored; }
};

// Typed reading of the arguments, for members written as lambdas.
class Args {
public:
    Args(ScriptArgs args, std::string_view member) : args_(args), member_(member) {}

    ScriptArgs Raw() const { return args_; }
    // Given: present and not empty.
    bool Given(std::size_t index) const { return !ArgAt(args_, index).IsEmpty(); }
    const Variant& Value(std::size_t index) const { return ArgAt(args_, index); }
    template <class T>
    T As(std::size_t index) const {
        return ArgOf<T>::Read(ArgAt(args_, index), member_);
    }
    // The argument, or `fallback` when it is not given.
    template <class T>
    T As(std::size_t index, T fallback) const {
        return Given(index) ? As<T>(index) : fallback;
    }
    std::string Text(std::size_t index) const { return As<std::string>(index); }

private:
    ScriptArgs args_;
    std::string_view member_;
};

template <class F> struct MemberFn;
template <class R, class C, class... P>
struct MemberFn<R (C::*)(P...)> {
    using Result = R;
    using Class = C;
    using Params = std::tuple<P...>;
};
template <class R, class C, class... P>
struct MemberFn<R (C::*)(P...) const> : MemberFn<R (C::*)(P...)> {};

// Runs a member with script protection: C++ failures become script errors.
template <class F>
decltype(auto) Guarded(std::string_view member, F&& body) {
    try {
        return body();
    } catch (const ScriptThrow&) {
        throw;
    } catch (const CollectionError& e) {
        throw ScriptThrow(e.Description());
    } catch (const std::exception& e) {
        throw ScriptThrow(std::string(member) + ": " + e.what());
    }
}

void CheckArgCount(ScriptArgs args, std::size_t most, std::string_view member);

template <class F, std::size_t... I>
Variant CallMember(F member, AutomationObject& object, [[maybe_unused]] ScriptArgs args,
                   [[maybe_unused]] std::string_view name, std::index_sequence<I...>) {
    using Fn = MemberFn<F>;
    using Params = typename Fn::Params;
    auto& self = static_cast<typename Fn::Class&>(object);
    // Braced initialisation reads the arguments from left to right.
    std::tuple<typename ArgOf<std::tuple_element_t<I, Params>>::Stored...> stored{
        ArgOf<std::tuple_element_t<I, Params>>::Read(ArgAt(args, I), name)...};
    if constexpr (std::is_void_v<typename Fn::Result>) {
        (self.*member)(ArgOf<std::tuple_element_t<I, Params>>::Pass(std::get<I>(stored))...);
        return {};
    } else {
        return ToScript((self.*member)(ArgOf<std::tuple_element_t<I, Params>>::Pass(std::get<I>(stored))...));
    }
}

// Adds the members of one script class. `C` is the class whose objects the members receive.
template <class C>
class ClassBuilder {
public:
    ClassBuilder(ClassMap& classes, std::string name) : class_(classes[std::type_index(typeid(C))]) {
        class_.name = std::move(name);
    }

    // A read-only property: `get` is a member function or a callable taking C&.
    template <class G>
    ClassBuilder& Get(std::string name, G get) {
        ScriptMember member;
        member.name = name;
        member.kind = ScriptMember::Kind::Property;
        member.get = [get, name](AutomationObject& object) {
            return Guarded(name, [&] { return ToScript(std::invoke(get, static_cast<C&>(object))); });
        };
        class_.members.push_back(std::move(member));
        return *this;
    }

    // A read/write property over a getter and a setter of one value type.
    template <class G, class S>
    ClassBuilder& GetSet(std::string name, G get, S set) {
        using Value = std::remove_cvref_t<std::invoke_result_t<G, C&>>;
        Get(name, get);
        class_.members.back().set = [set, name](AutomationObject& object, const Variant& value) {
            Guarded(name, [&] { std::invoke(set, static_cast<C&>(object), AssignedValue<Value>(value)); });
        };
        return *this;
    }

    // A read/write property over a public data member.
    template <class T, class Owner>
    ClassBuilder& Field(std::string name, T Owner::*field) {
        return GetSet(
            std::move(name), [field](C& self) -> const T& { return self.*field; },
            [field](C& self, const T& value) { self.*field = value; });
    }

    // A property of a registered table row: typed getter, and a setter unless the row is read-only.
    template <PropType T, bool ReadOnly, class Owner>
    ClassBuilder& Typed(std::string name, PropValue<T> (Owner::*get)() const,
                        void (Owner::*set)(const PropValue<T>&)) {
        if constexpr (ReadOnly) return Get(std::move(name), get);
        else return GetSet(std::move(name), get, set);
    }

    // A method forwarding to a member function; its arguments are converted by parameter type.
    template <class F>
        requires std::is_member_function_pointer_v<F>
    ClassBuilder& Method(std::string name, F function) {
        constexpr std::size_t count = std::tuple_size_v<typename MemberFn<F>::Params>;
        return Add(std::move(name), count, [function](AutomationObject& object, ScriptArgs args, std::string_view n) {
            return CallMember(function, object, args, n, std::make_index_sequence<count>());
        });
    }

    // A method written as a callable taking (C&, const Args&), accepting up to `most` arguments.
    template <class F>
        requires(!std::is_member_function_pointer_v<F>)
    ClassBuilder& Method(std::string name, std::size_t most, F function) {
        return Add(std::move(name), most, [function](AutomationObject& object, ScriptArgs args, std::string_view n) {
            Args typed(args, n);
            using R = std::invoke_result_t<F, C&, const Args&>;
            if constexpr (std::is_void_v<R>) {
                function(static_cast<C&>(object), typed);
                return Variant();
            } else {
                return ToScript(function(static_cast<C&>(object), typed));
            }
        });
    }

    // The items of a collection, for for..of and Enumerator.
    template <class F>
    ClassBuilder& Enumerate(F items) {
        class_.enumerate = [items](AutomationObject& object) {
            return Guarded("enumeration", [&] {
                std::vector<Variant> result;
                for (const auto& item : items(static_cast<C&>(object))) result.push_back(ToScript(item));
                return result;
            });
        };
        return *this;
    }

private:
    template <class Body>
    ClassBuilder& Add(std::string name, std::size_t most, Body body) {
        ScriptMember member;
        member.name = name;
        member.kind = ScriptMember::Kind::Method;
        member.call = [body, most, name](AutomationObject& object, ScriptArgs args) {
            CheckArgCount(args, most, name);
            return Guarded(name, [&] { return body(object, args, name); });
        };
        class_.members.push_back(std::move(member));
        return *this;
    }

    ScriptClass& class_;
};

}  // namespace velmora::bind

// One typed property per row of a property table. Expanded where `Bound` names the class and
// `builder` its ClassBuilder:
//   #define VELMORA_PROPERTY VELMORA_BIND_PROPERTY
//   #include "model/core/table_properties.def"
#define VELMORA_BIND_PROPERTY(name, accessor, type, regSave, regFormat, fileSave, sync, readOnly)        \
    builder.Typed<::velmora::PropType::type, (readOnly) != 0>(#accessor, &Bound::accessor, &Bound::Set##accessor);
