// Reference counting, QueryInterface rules, ComPtr and the class factory,
// on objects made in the test program itself.
#include <gtest/gtest.h>

#include "vxcom.h"

namespace {

struct IAnimal : IUnknown {
  VX_COM_INTERFACE(IAnimal, IUnknown, "{464C5197-8DB3-474D-B2EC-8C80655AC6C7}")
  virtual HRESULT Legs(LONG* legs) = 0;
};
struct IAnimal2 : IAnimal {
  VX_COM_INTERFACE(IAnimal2, IAnimal, "{61FFB833-CCBF-407E-85E3-D99EFFF0E907}")
  virtual HRESULT Wings(LONG* wings) = 0;
};
struct IPet : IUnknown {
  VX_COM_INTERFACE(IPet, IUnknown, "{D1C1F9F2-0B51-4E0C-9C57-0B7AF3E0C2B1}")
  virtual HRESULT Name(BSTR* name) = 0;
};
struct INeverImplemented : IUnknown {
  VX_COM_INTERFACE(INeverImplemented, IUnknown, "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}")
};

// An interface that forgot VX_COM_INTERFACE would answer its base's IID.
struct IForgotTheMacro : IAnimal {
 protected:
  ~IForgotTheMacro() = default;
};
static_assert(vx::com::ComInterface<IAnimal2> && !vx::com::ComInterface<IForgotTheMacro>);

int destroyed = 0;

class CBird final : public vx::com::Implements<IAnimal2, IPet> {
 public:
  explicit CBird(LONG wings = 2) : wings_(wings) {}
  ~CBird() override { ++destroyed; }
  HRESULT Legs(LONG* legs) override { return *legs = 2, S_OK; }
  HRESULT Wings(LONG* wings) override { return *wings = wings_, S_OK; }
  HRESULT Name(BSTR* name) override {
    *name = SysAllocString(u"Tweety");
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  LONG wings_;
};

class CRefusing final : public vx::com::Implements<IAnimal> {
 public:
  HRESULT FinalConstruct() { return E_ACCESSDENIED; }
  HRESULT Legs(LONG*) override { return E_NOTIMPL; }
};

template <class I, class From>
vx::com::ComPtr<I> query(From* from) {
  vx::com::ComPtr<I> out;
  EXPECT_EQ(from->QueryInterface(IID_PPV_ARGS(out.GetAddressOf())), S_OK);
  return out;
}

IUnknown* identityOf(IUnknown* p) {
  IUnknown* unknown = nullptr;
  EXPECT_EQ(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  unknown->Release();
  return unknown;
}

TEST(ComObject, ReferenceCountEndsTheObjectAtZero) {
  destroyed = 0;
  vx::com::ComPtr<CBird> bird = vx::com::Make<CBird>();
  ASSERT_TRUE(bird);
  EXPECT_EQ(bird->AddRef(), 2u);
  EXPECT_EQ(bird->Release(), 1u);
  {
    vx::com::ComPtr<IPet> pet = query<IPet>(bird.Get());
    EXPECT_EQ(bird->AddRef(), 3u);  // bird, pet, and this one
    bird->Release();
  }
  bird.Reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(ComObject, QueryInterfaceRules) {
  vx::com::ComPtr<CBird> bird = vx::com::Make<CBird>();
  IAnimal2* animal2 = bird.Get();
  // Identity: every interface gives the same IUnknown.
  vx::com::ComPtr<IPet> pet = query<IPet>(animal2);
  vx::com::ComPtr<IAnimal> animal = query<IAnimal>(pet.Get());
  EXPECT_EQ(identityOf(animal2), identityOf(pet.Get()));
  EXPECT_EQ(identityOf(pet.Get()), identityOf(animal.Get()));
  // Reflexivity, symmetry and transitivity.
  EXPECT_EQ(query<IPet>(pet.Get()).Get(), pet.Get());
  EXPECT_EQ(query<IAnimal2>(query<IPet>(animal2).Get()).Get(), animal2);
  EXPECT_EQ(query<IAnimal>(query<IPet>(animal.Get()).Get()).Get(), animal.Get());
  // A base interface of a versioned one is the same pointer.
  EXPECT_EQ(static_cast<IAnimal*>(animal2), animal.Get());
  LONG wings = 0;
  EXPECT_EQ(query<IAnimal2>(animal.Get())->Wings(&wings), S_OK);
  EXPECT_EQ(wings, 2);
}

TEST(ComObject, UnknownInterfaceAndNullOut) {
  vx::com::ComPtr<CBird> bird = vx::com::Make<CBird>();
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(bird->QueryInterface(vx::com::uuidOf<INeverImplemented>(), &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(bird->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(bird->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  // Failed queries took no reference.
  EXPECT_EQ(bird->AddRef(), 2u);
  bird->Release();
}

TEST(ComObject, LiveObjectsHoldTheModule) {
  long before = vx::com::ModuleLockCount();
  {
    vx::com::ComPtr<CBird> bird = vx::com::Make<CBird>(4);
    EXPECT_EQ(vx::com::ModuleLockCount(), before + 1);
  }
  EXPECT_EQ(vx::com::ModuleLockCount(), before);
}

TEST(ComPtr, CopiesMovesAndDetaches) {
  destroyed = 0;
  vx::com::ComPtr<IAnimal2> a(vx::com::Make<CBird>());
  vx::com::ComPtr<IAnimal2> b = a;
  EXPECT_EQ(a->AddRef(), 3u);
  a->Release();
  vx::com::ComPtr<IAnimal2> c = std::move(b);
  EXPECT_FALSE(b);
  EXPECT_EQ(c, a);
  vx::com::ComPtr<IAnimal> base = c;  // to a base interface
  vx::com::ComPtr<IPet> pet;
  EXPECT_EQ(base.As(&pet), S_OK);
  vx::com::ComPtr<INeverImplemented> none;
  EXPECT_EQ(base.As(&none), E_NOINTERFACE);
  EXPECT_FALSE(none);
  IAnimal2* raw = c.Detach();
  a.Reset();
  base.Reset();
  pet.Reset();
  EXPECT_EQ(destroyed, 0);
  vx::com::ComPtr<IAnimal2> adopted;
  adopted.Attach(raw);
  adopted.Reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(ClassFactory, CreatesObjectsAndRefusesAggregation) {
  vx::com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(vx::com::ClassFactory<CBird>::GetClassObject(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
  vx::com::ComPtr<IPet> pet;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(pet.GetAddressOf())), S_OK);
  vx::com::Bstr name;
  EXPECT_EQ(pet->Name(name.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(name.Utf8(), "Tweety");

  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(pet.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, vx::com::uuidOf<INeverImplemented>(), &out), E_NOINTERFACE);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST(ClassFactory, FailedFinalConstructEndsTheObject) {
  long before = vx::com::ModuleLockCount();
  vx::com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(vx::com::ClassFactory<CRefusing>::GetClassObject(IID_PPV_ARGS(factory.GetAddressOf())),
            S_OK);
  void* out = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &out), E_ACCESSDENIED);
  EXPECT_EQ(out, nullptr);
  factory.Reset();
  EXPECT_EQ(vx::com::ModuleLockCount(), before);
}

TEST(ClassFactory, LockServerHoldsTheModule) {
  long before = vx::com::ModuleLockCount();
  vx::com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(vx::com::ClassFactory<CBird>::GetClassObject(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(vx::com::ModuleLockCount(), before + 1);
  ASSERT_EQ(vx::com::ClassFactory<CBird>::GetClassObject(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(vx::com::ModuleLockCount(), before);
}

TEST(NoThrow, TurnsExceptionsIntoResults) {
  EXPECT_EQ(vx::com::NoThrow([] { return S_FALSE; }), S_FALSE);
  EXPECT_EQ(vx::com::NoThrow([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(vx::com::NoThrow([]() -> HRESULT { throw 42; }), E_FAIL);
}

}  // namespace
