#pragma once
// The identity of a graphic class as a value: its name, its base class, and a way to
// create an empty instance. The format registry keeps these, creates graphics by class
// and tests "this class or one derived from it".
//
// Every graphic class declares
//   static TGraphicClass StaticClass();
//   TGraphicClass ClassType() const override { return StaticClass(); }
// and defines StaticClass() as TGraphicClass::Define<TMyGraphic, TBase>("TMyGraphic").

#include <memory>
#include <type_traits>

class TGraphic;

class TGraphicClass {
 public:
  // No class: what a failed lookup answers.
  TGraphicClass() = default;

  template <class T, class Base>
  static TGraphicClass Define(const char* name) {
    static const Info info{name, Base::StaticClass().info_, &CreateInstance<T>};
    return TGraphicClass(&info);
  }
  // The abstract root class, which has no base.
  static TGraphicClass DefineRoot(const char* name);

  explicit operator bool() const { return info_ != nullptr; }
  friend bool operator==(TGraphicClass, TGraphicClass) = default;

  // "" for no class.
  const char* ClassName() const;
  TGraphicClass ClassParent() const;
  // True for the class itself and for every class derived from ancestor.
  bool InheritsFrom(TGraphicClass ancestor) const;
  // A new, empty graphic of this class; raises EInvalidGraphicOperation for an abstract
  // class or no class.
  std::unique_ptr<TGraphic> Create() const;

 private:
  struct Info {
    const char* name;
    const Info* parent;
    std::unique_ptr<TGraphic> (*create)();
  };
  explicit TGraphicClass(const Info* info) : info_(info) {}

  template <class T>
  static std::unique_ptr<TGraphic> CreateInstance() {
    if constexpr (std::is_abstract_v<T>)
      return nullptr;
    else
      return std::make_unique<T>();
  }

  const Info* info_ = nullptr;
};
