#include <gtest/gtest.h>

#include "ui/classes.h"
#include "ui/component.h"

namespace bramble {
namespace {

class TWatched : public TComponent {
public:
    TWatched(TComponent* o, std::vector<std::string>* log = nullptr) : TComponent(o), log_(log) {}
    ~TWatched() override {
        if (log_) log_->push_back("free " + Name() + (ComponentState().contains(csDestroying) ? " destroying" : ""));
    }
    TComponent* ref = nullptr;
    int loaded = 0;
    bool loading_seen = false;

protected:
    void Notification(TComponent* c, TOperation op) override {
        if (op == opRemove && c == ref) ref = nullptr;
    }
    void Loaded() override {
        loading_seen = ComponentState().contains(csLoading);
        ++loaded;
        TComponent::Loaded();
    }

private:
    std::vector<std::string>* log_;
};

TEST(Components, OwnerFreesOwnedComponentsAndWatchersForgetThem) {
    std::vector<std::string> log;
    auto* owner = new TWatched(nullptr, &log);
    owner->SetName("owner");
    auto* a = new TWatched(owner, &log);
    a->SetName("a");
    auto* b = new TWatched(owner, &log);
    b->SetName("b");
    TWatched elsewhere(nullptr);
    elsewhere.ref = a;
    a->FreeNotification(&elsewhere);
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("A"), a);
    EXPECT_EQ(owner->FindComponent("c"), nullptr);
    delete a;
    EXPECT_EQ(elsewhere.ref, nullptr);
    EXPECT_EQ(owner->ComponentCount(), 1);
    delete owner;
    // Owned components are told they are going before they go; a component
    // freed on its own is not "destroying" in its own destructor body.
    EXPECT_EQ(log, (std::vector<std::string>{"free a", "free owner", "free b destroying"}));
}

TEST(Components, LoadedReachesEveryComponentBuiltWhileTheOwnerLoads) {
    TWatched form(nullptr);
    form.BeginLoading();
    auto* a = new TWatched(&form);
    auto* b = new TWatched(&form);
    EXPECT_TRUE(a->ComponentState().contains(csLoading));
    form.LoadedAll();
    EXPECT_EQ(a->loaded, 1);
    EXPECT_EQ(b->loaded, 1);
    EXPECT_EQ(form.loaded, 1);
    EXPECT_TRUE(a->loading_seen);
    EXPECT_FALSE(a->ComponentState().contains(csLoading));
    EXPECT_FALSE(form.ComponentState().contains(csLoading));
    // Made after loading: not loading, and a second LoadedAll does nothing.
    auto* c = new TWatched(&form);
    EXPECT_FALSE(c->ComponentState().contains(csLoading));
    form.LoadedAll();
    EXPECT_EQ(a->loaded, 1);
    EXPECT_EQ(c->loaded, 0);
}

TEST(Components, LivenessTokenTellsWhetherAHandlerFreedTheComponent) {
    auto* c = new TWatched(nullptr);
    TAliveToken t = c->AliveToken();
    TAliveToken t2 = c->AliveToken();
    TNotifyEvent handler = [&](TObject*) { delete c; };
    EXPECT_TRUE(t.Alive());
    handler(c);
    EXPECT_FALSE(t.Alive());
    EXPECT_FALSE(t2.Alive());
    EXPECT_FALSE(TAliveToken().Alive());
}

TEST(Components, CallGuardedHandsExceptionsToTheHandlerAndReturnsTheFallback) {
    std::vector<std::string> seen;
    // The application's own handler is put back for the tests that follow.
    TCallbackExceptionHandler saved =
        SetCallbackExceptionHandler([&](TObject*, std::exception_ptr e) { seen.push_back(ExceptionMessage(e)); });
    int r = CallGuarded(nullptr, -1, []() -> int { throw EInvalidOperation("bad"); });
    CallGuarded(nullptr, [] { throw 42; });
    int ok = CallGuarded(nullptr, -1, [] { return 7; });
    // A handler that throws itself is contained too.
    SetCallbackExceptionHandler([](TObject*, std::exception_ptr) { throw std::runtime_error("again"); });
    CallGuarded(nullptr, [] { throw std::runtime_error("x"); });
    SetCallbackExceptionHandler(std::move(saved));
    EXPECT_EQ(r, -1);
    EXPECT_EQ(ok, 7);
    EXPECT_EQ(seen, (std::vector<std::string>{"bad", "Unknown exception"}));
}

TEST(StringLists, SortedListsFindInsertAndRefuseDuplicatesAsAsked) {
    TStringList l;
    l.SetSorted(true);
    l.Add("pear");
    l.Add("Apple");
    l.Add("banana");
    l.Add("apple");  // case-insensitive duplicate: ignored
    EXPECT_EQ(l.Text(), "Apple\r\nbanana\r\npear\r\n");
    int i = -1;
    EXPECT_TRUE(l.Find("BANANA", i));
    EXPECT_EQ(i, 1);
    EXPECT_FALSE(l.Find("cherry", i));
    EXPECT_EQ(i, 2);
    l.SetDuplicates(dupError);
    EXPECT_THROW(l.Add("PEAR"), EStringListError);
    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    l.SetDuplicates(dupAccept);
    l.Add("pear");
    EXPECT_EQ(l.Count(), 4);
    l.SetCaseSensitive(true);
    EXPECT_EQ(l.IndexOf("apple"), -1);
    EXPECT_EQ(l.IndexOf("Apple"), 0);
    EXPECT_THROW(l.Get(4), EStringListError);
    EXPECT_THROW(l.Delete(-1), EStringListError);
}

TEST(StringLists, TextValuesObjectsAndChangeNotices) {
    TStringList l;
    int changes = 0;
    l.OnChange = [&](TObject*) { ++changes; };
    l.SetText("a=1\r\nb=2\nlast");
    EXPECT_EQ(changes, 1);  // one notice for the whole update
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Values("B"), "2");
    EXPECT_EQ(l.Names(0), "a");
    l.SetValues("c", "3");
    l.SetValues("a", "");
    EXPECT_EQ(l.Text(), "b=2\r\nlast\r\nc=3\r\n");
    TStringList other;
    other.AddObject("x", &l);
    l.Assign(other);
    EXPECT_EQ(l.Objects(0), &l);
    EXPECT_EQ(l.IndexOfObject(&l), 0);
    l.SetText("");
    EXPECT_EQ(l.Count(), 0);
    TStringList q;
    q.SetText("one two\r\n\"q\"\r\n");
    EXPECT_EQ(q.CommaText(), "\"one two\",\"\"\"q\"\"\"");
    TStringList n;
    n.SetText("10\r\n9\r\n100");
    n.CustomSort([](TStringList* L, int a, int b) { return StrToInt(L->Get(a)) - StrToInt(L->Get(b)); });
    EXPECT_EQ(n.Text(), "9\r\n10\r\n100\r\n");
    EXPECT_THROW(StrToInt("12x"), EConvertError);
    EXPECT_EQ(StrToIntDef(" 42 ", 0), 42);
    EXPECT_EQ(StrToIntDef("99999999999", -1), -1);
}

}  // namespace
}  // namespace bramble
