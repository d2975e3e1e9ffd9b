#include <gtest/gtest.h>

#include <vector>

#include "foundation/owned_list.h"

namespace tw {
namespace {

struct Node : ListNode<Node> {
  explicit Node(int v, std::vector<int>* freed_log = nullptr) : value(v), freed(freed_log) {}
  ~Node() {
    if (freed) freed->push_back(value);
  }
  Node(const Node& other) : ListNode<Node>(other), value(other.value) {}
  int value;
  std::vector<int>* freed = nullptr;
};

std::vector<int> Values(const OwnedList<Node>& list) {
  std::vector<int> values;
  for (const Node& n : list) values.push_back(n.value);
  // Walk backwards too: the prev links must agree with the next links.
  std::vector<int> backwards;
  for (Node* n = list.last(); n; n = n->prev) backwards.insert(backwards.begin(), n->value);
  EXPECT_EQ(values, backwards);
  EXPECT_EQ(values.size(), list.count());
  return values;
}

TEST(OwnedListTest, InsertsAtBothEndsAndAroundNodes) {
  OwnedList<Node> list;
  Node* two = list.Append(std::make_unique<Node>(2));
  list.InsertBefore(nullptr, std::make_unique<Node>(0));
  list.InsertAfter(nullptr, std::make_unique<Node>(4));
  list.InsertBefore(two, std::make_unique<Node>(1));
  list.InsertAfter(two, std::make_unique<Node>(3));
  EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(OwnedListTest, RemoveReleasesAndClearReleasesFirstToLast) {
  std::vector<int> freed;
  std::vector<int> released;
  OwnedList<Node> list(true, [&](Node& n) { released.push_back(n.value); });
  Node* first = list.Append(std::make_unique<Node>(1, &freed));
  list.Append(std::make_unique<Node>(2, &freed));
  list.Append(std::make_unique<Node>(3, &freed));
  list.Remove(first);
  EXPECT_EQ(Values(list), (std::vector<int>{2, 3}));
  list.Clear();
  EXPECT_EQ(released, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(freed, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(list.count(), 0u);
  EXPECT_EQ(list.first(), nullptr);
  EXPECT_EQ(list.last(), nullptr);
}

TEST(OwnedListTest, ClearingANonOwningListLeavesTheNodesUsable) {
  std::vector<int> freed;
  OwnedList<Node> owner;
  owner.Append(std::make_unique<Node>(7, &freed));
  owner.Append(std::make_unique<Node>(8, &freed));

  // A second list over the same records through wrapper nodes.
  OwnedList<RefNode<Node>> view;
  for (Node& n : owner) view.Append(std::make_unique<RefNode<Node>>(&n));
  EXPECT_EQ(view.last()->target->value, 8);
  view.Clear();

  // A list without ownership only forgets its nodes.
  OwnedList<Node> borrowed(false);
  Node* last = borrowed.Append(owner.Unlink(owner.last()));
  borrowed.Clear();
  EXPECT_TRUE(freed.empty());
  owner.Append(last);
  EXPECT_EQ(Values(owner), (std::vector<int>{7, 8}));
}

TEST(OwnedListTest, UnlinkHandsTheNodeOver) {
  std::vector<int> freed;
  OwnedList<Node> list;
  list.Append(std::make_unique<Node>(1, &freed));
  Node* middle = list.Append(std::make_unique<Node>(2, &freed));
  list.Append(std::make_unique<Node>(3, &freed));
  std::unique_ptr<Node> taken(list.Unlink(middle));
  EXPECT_EQ(Values(list), (std::vector<int>{1, 3}));
  EXPECT_EQ(taken->next, nullptr);
  EXPECT_EQ(taken->prev, nullptr);
  EXPECT_TRUE(freed.empty());
}

TEST(OwnedListTest, CloneCopiesDataNotLinksAndMoveTransfersOwnership) {
  OwnedList<Node> list;
  for (int i = 0; i < 3; ++i) list.Append(std::make_unique<Node>(i));
  OwnedList<Node> copy = CloneList(list);
  copy.first()->value = 99;
  EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(Values(copy), (std::vector<int>{99, 1, 2}));
  OwnedList<Node> moved = std::move(copy);
  EXPECT_EQ(copy.count(), 0u);  // NOLINT(bugprone-use-after-move): moved-from state is defined
  EXPECT_EQ(Values(moved), (std::vector<int>{99, 1, 2}));
}

}  // namespace
}  // namespace tw
