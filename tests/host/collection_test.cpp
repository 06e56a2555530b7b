// The collection handed to hosts, held against the answers of the automation run time's
// collection: one table of calls in order, each with the answer it must give.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host_support.h"

using namespace hosttest;

namespace {

constexpr HRESULT RunTimeError(int n) { return static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(n)); }

// An empty collection, as zanFolderInfo hands one out for an empty folder.
ComPtr<IDispatch> EmptyCollection() {
    ComPtr<IDispatch> info = Create(L"ZanKit.FileSysInfo");
    CallResult list = Call(info.Get(), L"zanFolderInfo", DISPATCH_METHOD, {Arg::Text(TempFolder()), Arg::Long(59)});
    if (V_VT(&list.value) != VT_DISPATCH) return {};
    return ComPtr<IDispatch>(V_DISPATCH(&list.value));
}

// The texts the next `wanted` items hold, and "|end" when there were fewer (S_FALSE).
std::wstring Next(IEnumVARIANT* walker, ULONG wanted) {
    std::vector<Arg> items(wanted);
    ULONG fetched = 0;
    const HRESULT hr = walker->Next(wanted, &items[0].value, &fetched);
    std::wstring joined;
    for (ULONG i = 0; i < fetched; ++i) joined += FromBstr(V_BSTR(&items[i].value));
    return joined + (hr == S_FALSE ? L"|end" : hr == S_OK ? L"" : L"|failed");
}

}  // namespace

TEST(Collection, AnswersLikeTheRunTimeCollection) {
    ComPtr<IDispatch> list = EmptyCollection();
    ASSERT_TRUE(list);
    const Arg none = Arg::Missing(), x = Arg::Text(L"x");
    const struct {
        const wchar_t* what;
        const wchar_t* member;
        std::vector<Arg> args;
        HRESULT error = S_OK;   // or the run-time error the step raises
        std::wstring answer{};  // Item's text, Count as text; empty for Add and for errors
    } steps[] = {
        {L"add with a key", L"Add", {Arg::Text(L"a"), Arg::Text(L"KA")}},
        {L"add without a key", L"Add", {Arg::Text(L"b")}},
        {L"add before the first", L"Add", {Arg::Text(L"c"), Arg::Text(L"kc"), Arg::Long(1)}},
        {L"add after a key in other case", L"Add", {Arg::Text(L"d"), Arg::Text(L"KD"), none, Arg::Text(L"ka")}},
        {L"order so far c a d b", L"Count", {}, S_OK, L"4"},
        {L"a key used twice", L"Add", {x, Arg::Text(L"kA")}, RunTimeError(457)},
        {L"before and after together", L"Add", {x, none, Arg::Long(1), Arg::Long(1)}, RunTimeError(5)},
        {L"before a position past the end", L"Add", {x, none, Arg::Long(9)}, RunTimeError(9)},
        {L"after a missing key", L"Add", {x, none, none, Arg::Text(L"nokey")}, RunTimeError(5)},
        {L"a key that is no text", L"Add", {x, Arg::Long(12)}, RunTimeError(13)},
        {L"nothing added by the refusals", L"Count", {}, S_OK, L"4"},
        {L"first", L"Item", {Arg::Long(1)}, S_OK, L"c"},
        {L"after the key", L"Item", {Arg::Long(3)}, S_OK, L"d"},
        {L"a whole Double", L"Item", {Arg::Of(VT_R8, 2.0)}, S_OK, L"a"},
        {L"by key in other case", L"Item", {Arg::Text(L"kd")}, S_OK, L"d"},
        {L"zero", L"Item", {Arg::Long(0)}, RunTimeError(9)},
        {L"past the end", L"Item", {Arg::Long(5)}, RunTimeError(9)},
        {L"a number as text is a key", L"Item", {Arg::Text(L"1")}, RunTimeError(5)},
        {L"Null", L"Item", {Arg::Of(VT_NULL)}, RunTimeError(13)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        CallResult result = Call(list.Get(), step.member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, step.args);
        EXPECT_EQ(result.hr, step.error == S_OK ? S_OK : DISP_E_EXCEPTION);
        EXPECT_EQ(result.exception.scode, step.error);
        EXPECT_EQ(result.Description().empty(), step.error == S_OK);
        EXPECT_EQ(result.Text(), step.answer);
    }
}

TEST(Collection, TheEnumeratorSkipsResetsAndClonesItsPosition) {
    ComPtr<IDispatch> list = EmptyCollection();
    ASSERT_TRUE(list);
    for (const wchar_t* text : {L"a", L"b", L"c"}) Call(list.Get(), L"Add", DISPATCH_METHOD, {Arg::Text(text)});
    CallResult made = Call(list.Get(), L"_NewEnum", DISPATCH_METHOD, {});
    ASSERT_TRUE(V_VT(&made.value) == VT_UNKNOWN || V_VT(&made.value) == VT_DISPATCH);
    ComPtr<IEnumVARIANT> walker;
    ASSERT_EQ(V_UNKNOWN(&made.value)->QueryInterface(IID_IEnumVARIANT, walker.PutVoid()), S_OK);
    // Added after the enumerator was made: not seen by it.
    Call(list.Get(), L"Add", DISPATCH_METHOD, {Arg::Text(L"late")});

    EXPECT_EQ(Next(walker.Get(), 2), L"ab");
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(walker->Clone(clone.Put()), S_OK);
    EXPECT_EQ(Next(clone.Get(), 5), L"c|end");  // the clone starts where the original stood
    EXPECT_EQ(Next(walker.Get(), 1), L"c");     // and the original did not move
    EXPECT_EQ(walker->Skip(1), S_FALSE);
    EXPECT_EQ(walker->Reset(), S_OK);
    EXPECT_EQ(walker->Skip(2), S_OK);
    EXPECT_EQ(Next(walker.Get(), 1), L"c");
    Arg none;
    EXPECT_EQ(walker->Next(1, &none.value, nullptr), S_FALSE);  // a NULL count is allowed
    EXPECT_EQ(V_VT(&none.value), VT_EMPTY);
}
