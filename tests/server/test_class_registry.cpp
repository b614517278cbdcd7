// Creating the library's classes by ProgID and class id, and the answer to
// "can unload now".
#include <gtest/gtest.h>

#include "drw/sector_editor.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "server/class_registry.h"

using namespace volumar;

TEST(ClassRegistry, EveryClassIsCreatableByProgIdAndClassId) {
  register_class_objects();
  for (const ClassInfo* c : library_classes()) {
    SCOPED_TRACE(c->name);
    EXPECT_EQ(c->progid(), std::string("Volumar10.") + c->name);
    ObjectRef a = win::create_object(c->progid());
    ObjectRef b = win::create_object_by_clsid(c->clsid);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a, b);  // each creation is a new instance
    EXPECT_EQ(a->type_name(), S(c->name));
    EXPECT_EQ(win::CLSIDFromProgID(c->progid()), c->clsid);
  }
  EXPECT_EQ(library_classes().size(), 5u);
  try {
    win::create_object("Volumar10.clsNoSuchClass");
    FAIL();
  } catch (const win::AutomationError& e) {
    EXPECT_EQ(e.number(), 429);
  }
}

TEST(ClassRegistry, CanUnloadOnlyWithNoLiveObjectAndNoLock) {
  ASSERT_EQ(DllCanUnloadNow(), win::S_OK);
  const ClassFactory* factory = nullptr;
  ASSERT_EQ(DllGetClassObject(clsQzVolmDrwA::class_info_static().clsid, &factory), win::S_OK);
  {
    ObjectRef editor = factory->CreateInstance();
    EXPECT_EQ(DllCanUnloadNow(), win::S_FALSE);
  }
  EXPECT_EQ(DllCanUnloadNow(), win::S_OK);
  factory->LockServer(true);
  EXPECT_EQ(DllCanUnloadNow(), win::S_FALSE);
  factory->LockServer(false);
  EXPECT_EQ(DllCanUnloadNow(), win::S_OK);
  EXPECT_EQ(DllGetClassObject("{00000000-0000-0000-0000-000000000000}", &factory), win::CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
}
