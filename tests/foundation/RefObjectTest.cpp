#include "foundation/RefObject.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "foundation/Assert.h"

namespace dax {
namespace {

int gDisposed = 0;

class TCounted : public TRefObject {
 protected:
  void Dispose() override {
    ++gDisposed;
    TRefObject::Dispose();
  }
};

class TForgetful : public TRefObject {
 protected:
  void Dispose() override {}
};

class TThrowing : public TRefObject {
 protected:
  void Dispose() override { throw std::runtime_error("boom"); }
};

TEST(RefObject, DisposesOnceWhenTheLastReferenceGoes) {
  gDisposed = 0;
  {
    auto a = MakeRef<TCounted>();
    EXPECT_EQ(a->RefCount(), 1);
    TRef<TCounted> b = a;
    TRef<TRefObject> c = b;
    EXPECT_EQ(a->RefCount(), 3);
    b.Reset();
    c = nullptr;
    EXPECT_EQ(a->RefCount(), 1);
    EXPECT_EQ(gDisposed, 0);
  }
  EXPECT_EQ(gDisposed, 1);
}

TEST(RefObject, MisuseIsReportedWithTheClassName) {
  auto* p = new TCounted;
  EXPECT_EQ(p->ClassName(), "TCounted");
  p->Release();

  auto* f = new TForgetful;
  try {
    f->Release();
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(std::string(e.what()).find("'Error: inherited TForgetful.Dispose not called!'"),
              std::string::npos);
  }
}

TEST(RefObject, ExceptionInDisposeIsReportedAndRaisedAgain) {
  auto* t = new TThrowing;
  EXPECT_THROW(t->Release(), std::runtime_error);
}

TEST(Assert, TextNamesMessageUnitAndLine) {
  EXPECT_EQ(AssertionText("TIniItem.Index mismatch", "/src/ini/IniList.cpp", 42),
            "Asseertion with message: 'TIniItem.Index mismatch' (IniList.cpp, line: 42)");
  EXPECT_THROW(DAX_ASSERT(1 == 2, "never"), EAssertionFailed);
}

}  // namespace
}  // namespace dax
