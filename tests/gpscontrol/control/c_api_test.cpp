// The C interface as an outside host sees it: variants, strings it must free,
// failure messages through its own handler.

#include "control/sorvane.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control_fixture.h"
#include "store/kel_data.h"

namespace {

SorvaneVariant Arg(std::uint16_t vt, std::int32_t value, const char* text = nullptr) {
    SorvaneVariant x;
    sorvane_variant_init(&x);
    x.vt = vt;
    if (vt == SORVANE_VT_BSTR)
        x.u.bstrVal = const_cast<char*>(text);
    else
        x.u.lVal = value;
    return x;
}

TEST(CInterface, InvokeWithVariantsAndOwnedStrings) {
    controltest::ObjectRef object(controltest::MakeObject(true));
    SorvaneCtrl* c = object.object;
    constexpr auto M = SORVANE_DISPATCH_METHOD;
    SorvaneVariant name[] = {Arg(SORVANE_VT_BSTR, 0, "名前")};
    SorvaneVariant result;
    sorvane_variant_init(&result);
    ASSERT_EQ(sorvane_invoke(c, sorvane_get_dispid("AddTrack"), M, name, 1, &result), 0);
    EXPECT_EQ(result.vt, SORVANE_VT_BOOL);
    EXPECT_EQ(result.u.boolVal, -1);

    SorvaneVariant index[] = {Arg(SORVANE_VT_I4, 0)};
    ASSERT_EQ(sorvane_invoke(c, sorvane_get_dispid("gettrackname"), M, index, 1, &result), 0);
    ASSERT_EQ(result.vt, SORVANE_VT_BSTR);
    EXPECT_STREQ(result.u.bstrVal, "名前");
    sorvane_variant_clear(&result);
    EXPECT_EQ(result.vt, SORVANE_VT_EMPTY);

    // A null string argument is an empty string, not a crash.
    SorvaneVariant nullText[] = {Arg(SORVANE_VT_BSTR, 0, nullptr)};
    EXPECT_EQ(sorvane_invoke(c, sorvane_get_dispid("toWaypointSymbolNo"), M, nullText, 1, &result),
              0);
    EXPECT_EQ(result.u.lVal, 18);

    // Bad calls come back as codes; a result is not required.
    SorvaneVariant odd = Arg(17, 0);  // a type we do not know
    SorvaneVariant nullRef = Arg(SORVANE_VT_BYREF | SORVANE_VT_I4, 0);
    nullRef.u.plVal = nullptr;
    EXPECT_EQ(sorvane_invoke(nullptr, 7, M, nullptr, 0, &result), SORVANE_E_POINTER);
    EXPECT_EQ(sorvane_invoke(c, 11, M, nullptr, 1, &result), SORVANE_E_INVALIDARG);
    EXPECT_EQ(sorvane_invoke(c, 11, M, index, -1, &result), SORVANE_E_INVALIDARG);
    EXPECT_EQ(sorvane_invoke(c, 11, M, &odd, 1, &result), SORVANE_DISP_E_TYPEMISMATCH);
    EXPECT_EQ(sorvane_invoke(c, 11, M, &nullRef, 1, &result), SORVANE_DISP_E_TYPEMISMATCH);
    EXPECT_EQ(sorvane_invoke(c, 500, M, nullptr, 0, &result), SORVANE_DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(sorvane_invoke(c, 7, M, nullptr, 0, nullptr), 0);
    std::int32_t dispid = 0;
    EXPECT_EQ(c->lpVtbl->GetIDOfName(c, "NoSuch", &dispid), SORVANE_DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispid, -1);
    sorvane_variant_clear(nullptr);
}

TEST(CInterface, FailureMessagesGoToTheHostsHandler) {
    std::vector<std::pair<std::string, std::string>> seen;
    sorvane_set_message_handler(
        [](void* user, const char* text, const char* caption) {
            static_cast<decltype(seen)*>(user)->emplace_back(text, caption);
        },
        &seen);
    const auto noDatum = [] { return std::unique_ptr<sorvane::MapDatum>(); };
    { sorvane::KelData store(noDatum); }
    sorvane_set_message_handler(nullptr, nullptr);
    { sorvane::KelData again(noDatum); }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].first, "Can't create MapDatum object");
    EXPECT_EQ(seen[0].second, "ERROR");
}

}  // namespace
