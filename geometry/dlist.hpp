#pragma once  // geometry/dlist.hpp: the doubly linked list between two sentinels
#include <cassert>
#include <cstddef>
#include <iterator>
#include <memory>
#include <type_traits>
#include <utility>

namespace blocknest {

// A doubly linked list bounded by a head and a tail sentinel; owns every node. Element nodes
// are allocated one by one and never move, so a pointer to an element stays valid until the
// element is erased or the list is cleared. Copies are deep and keep the order.
template <class T>
class DList {
    struct Link {
        Link* prev = nullptr;
        Link* next = nullptr;
    };
    struct Node : Link {
        explicit Node(T v) : value(std::move(v)) {}
        T value;
    };

    template <bool IsConst>
    class Iter {
        using LinkPtr = std::conditional_t<IsConst, const Link*, Link*>;
        using NodePtr = std::conditional_t<IsConst, const Node*, Node*>;

    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<IsConst, const T*, T*>;
        using reference = std::conditional_t<IsConst, const T&, T&>;

        Iter() = default;
        explicit Iter(LinkPtr link) : link_(link) {}
        template <bool C = IsConst, class = std::enable_if_t<C>>
        Iter(const Iter<false>& o) : link_(o.link_) {}

        reference operator*() const { return static_cast<NodePtr>(link_)->value; }
        pointer operator->() const { return &**this; }
        Iter& operator++() {
            link_ = link_->next;
            return *this;
        }
        Iter operator++(int) {
            Iter old = *this;
            ++*this;
            return old;
        }
        Iter& operator--() {
            link_ = link_->prev;
            return *this;
        }
        Iter operator--(int) {
            Iter old = *this;
            --*this;
            return old;
        }
        bool operator==(const Iter& o) const { return link_ == o.link_; }

    private:
        friend class DList;
        friend class Iter<!IsConst>;
        LinkPtr link_ = nullptr;
    };

public:
    using iterator = Iter<false>;
    using const_iterator = Iter<true>;

    DList() { relinkEmpty(); }
    DList(const DList& o) : DList() {
        for (const T& v : o) pushBack(v);
    }
    DList(DList&& o) noexcept : DList() { swap(o); }
    DList& operator=(DList o) noexcept {
        swap(o);
        return *this;
    }
    ~DList() { clear(); }

    void pushFront(T v) { insertBefore(begin(), std::move(v)); }
    void pushBack(T v) { insertBefore(end(), std::move(v)); }

    // Inserts v before pos and returns an iterator to it.
    iterator insertBefore(const_iterator pos, T v) {
        Link* at = const_cast<Link*>(pos.link_);
        Node* n = std::make_unique<Node>(std::move(v)).release();  // the list owns it now
        n->prev = at->prev;
        n->next = at;
        at->prev->next = n;
        at->prev = n;
        ++count_;
        return iterator(n);
    }

    // Unlinks the element at pos and frees it; returns the element after it.
    iterator erase(iterator pos) {
        assert(pos.link_ != &head_ && pos.link_ != &tail_);
        Link* link = pos.link_;
        Link* next = link->next;
        unlink(link);
        --count_;
        destroy(link);
        return iterator(next);
    }

    // Takes the element at from out of the list and puts it directly before pos (which must
    // not be from itself); no element is copied, and every iterator stays valid.
    void moveBefore(iterator from, const_iterator pos) {
        Link* at = const_cast<Link*>(pos.link_);
        assert(from.link_ != at);
        unlink(from.link_);
        from.link_->prev = at->prev;
        from.link_->next = at;
        at->prev->next = from.link_;
        at->prev = from.link_;
    }

    void clear() {
        Link* link = head_.next;
        while (link != &tail_) {
            Link* next = link->next;
            destroy(link);
            link = next;
        }
        count_ = 0;
        relinkEmpty();
    }

    void swap(DList& o) noexcept {
        std::swap(head_, o.head_);
        std::swap(tail_, o.tail_);
        std::swap(count_, o.count_);
        repointEnds();
        o.repointEnds();
    }

    int count() const { return static_cast<int>(count_); }
    bool empty() const { return count_ == 0; }
    T& front() { return *begin(); }
    const T& front() const { return *begin(); }
    T& back() { return *std::prev(end()); }
    const T& back() const { return *std::prev(end()); }

    iterator begin() { return iterator(head_.next); }
    iterator end() { return iterator(&tail_); }
    const_iterator begin() const { return const_iterator(head_.next); }
    const_iterator end() const { return const_iterator(&tail_); }

private:
    void relinkEmpty() {
        head_.next = &tail_;
        tail_.prev = &head_;
    }
    static void destroy(Link* link) { std::unique_ptr<Node> owned(static_cast<Node*>(link)); }
    static void unlink(Link* link) {
        link->prev->next = link->next;
        link->next->prev = link->prev;
    }
    // After the sentinels were swapped, the end nodes still point at the old sentinels.
    void repointEnds() {
        if (count_ == 0) {
            relinkEmpty();
            return;
        }
        head_.next->prev = &head_;
        tail_.prev->next = &tail_;
    }

    Link head_;
    Link tail_;
    std::size_t count_ = 0;
};

}  // namespace blocknest
