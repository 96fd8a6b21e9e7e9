// The C interface as an outside host sees it: variants, strings it must free,
// failure messages through its own handler.

#include "control/sorvane.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control_fixture.h"
#include "store/kel_data.h"

namespace {

using controltest::MakeObject;
using controltest::ObjectRef;

SorvaneVariant Long(std::int32_t v) {
    SorvaneVariant x;
    sorvane_variant_init(&x);
    x.vt = SORVANE_VT_I4;
    x.u.lVal = v;
    return x;
}

SorvaneVariant Text(const char* s) {
    SorvaneVariant x;
    sorvane_variant_init(&x);
    x.vt = SORVANE_VT_BSTR;
    x.u.bstrVal = const_cast<char*>(s);
    return x;
}

TEST(CInterface, InvokeWithVariantsAndOwnedStrings) {
    ObjectRef object(MakeObject(true));
    SorvaneVariant args[] = {Text("名前")};
    SorvaneVariant result;
    sorvane_variant_init(&result);
    ASSERT_EQ(sorvane_invoke(object.object, sorvane_get_dispid("AddTrack"), SORVANE_DISPATCH_METHOD,
                             args, 1, &result),
              0);
    EXPECT_EQ(result.vt, SORVANE_VT_BOOL);
    EXPECT_EQ(result.u.boolVal, -1);

    SorvaneVariant index[] = {Long(0)};
    ASSERT_EQ(sorvane_invoke(object.object, sorvane_get_dispid("gettrackname"),
                             SORVANE_DISPATCH_METHOD, index, 1, &result),
              0);
    ASSERT_EQ(result.vt, SORVANE_VT_BSTR);
    EXPECT_STREQ(result.u.bstrVal, "名前");
    sorvane_variant_clear(&result);

    // A null string argument is an empty string, not a crash.
    SorvaneVariant nullText[] = {Text(nullptr)};
    EXPECT_EQ(sorvane_invoke(object.object, sorvane_get_dispid("toWaypointSymbolNo"),
                             SORVANE_DISPATCH_METHOD, nullText, 1, &result),
              0);
    EXPECT_EQ(result.u.lVal, 18);

    // Bad calls come back as codes.
    EXPECT_EQ(sorvane_invoke(nullptr, 7, SORVANE_DISPATCH_METHOD, nullptr, 0, &result),
              SORVANE_E_POINTER);
    EXPECT_EQ(sorvane_invoke(object.object, 11, SORVANE_DISPATCH_METHOD, nullptr, 1, &result),
              SORVANE_E_INVALIDARG);
    EXPECT_EQ(sorvane_invoke(object.object, 11, SORVANE_DISPATCH_METHOD, index, -1, &result),
              SORVANE_E_INVALIDARG);
    SorvaneVariant odd = Long(0);
    odd.vt = 17;  // a type we do not know
    EXPECT_EQ(sorvane_invoke(object.object, 11, SORVANE_DISPATCH_METHOD, &odd, 1, &result),
              SORVANE_DISP_E_TYPEMISMATCH);
    SorvaneVariant nullRef = Long(0);
    nullRef.vt = SORVANE_VT_BYREF | SORVANE_VT_I4;
    nullRef.u.plVal = nullptr;
    EXPECT_EQ(sorvane_invoke(object.object, 11, SORVANE_DISPATCH_METHOD, &nullRef, 1, &result),
              SORVANE_DISP_E_TYPEMISMATCH);
    EXPECT_EQ(sorvane_invoke(object.object, 500, SORVANE_DISPATCH_METHOD, nullptr, 0, &result),
              SORVANE_DISP_E_MEMBERNOTFOUND);
    // A result is not required.
    EXPECT_EQ(sorvane_invoke(object.object, 7, SORVANE_DISPATCH_METHOD, nullptr, 0, nullptr), 0);
    std::int32_t dispid = 0;
    EXPECT_EQ(object.object->lpVtbl->GetIDOfName(object.object, "NoSuch", &dispid),
              SORVANE_DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispid, -1);
    sorvane_variant_clear(nullptr);
}

struct Messages {
    std::vector<std::pair<std::string, std::string>> seen;
};

TEST(CInterface, FailureMessagesGoToTheHostsHandler) {
    Messages m;
    sorvane_set_message_handler(
        [](void* user, const char* text, const char* caption) {
            static_cast<Messages*>(user)->seen.emplace_back(text, caption);
        },
        &m);
    {
        sorvane::KelData noDatum([] { return std::unique_ptr<sorvane::MapDatum>(); });
    }
    sorvane_set_message_handler(nullptr, nullptr);
    {
        sorvane::KelData again([] { return std::unique_ptr<sorvane::MapDatum>(); });
    }
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_EQ(m.seen[0].first, "Can't create MapDatum object");
    EXPECT_EQ(m.seen[0].second, "ERROR");
}

}  // namespace
