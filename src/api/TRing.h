// Circular, doubly linked ring of records with a lock. Every lookup walks forward from the
// head and leaves the found record as the head, so repeated lookups of the same key succeed
// at the first comparison. New records are linked in before the head (at the ring's end) and
// become the head.
#pragma once

#include <memory>

#include "platform/CriticalSection.h"

namespace velcor {

template <typename Data>
class CTRing {
  public:
    using Key = decltype(Data::handle);

    struct Record {
        Data data;
        Record* previous = nullptr;
        Record* next = nullptr;
    };

    CTRing() = default;
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;
    virtual ~CTRing() { Clear(); }

    // Copies data into a new record linked in before the head; the record becomes the head.
    virtual void Insert(const Data& data) {
        platform::CriticalSectionLock lock(lock_);
        InsertLocked(data);
    }

    // The data of the record with key, which becomes the head; false when there is none.
    bool Find(Key key, Data* found) {
        platform::CriticalSectionLock lock(lock_);
        if (!FindLocked(key)) return false;
        if (found != nullptr) *found = head_->data;
        return true;
    }

    // Unlinks and frees the record with key; the next record becomes the head.
    bool Remove(Key key, Data* removed = nullptr) {
        platform::CriticalSectionLock lock(lock_);
        if (!FindLocked(key)) return false;
        std::unique_ptr<Record> doomed(head_);
        if (removed != nullptr) *removed = std::move(doomed->data);
        if (doomed->next == doomed.get()) {
            head_ = nullptr;
            count_ = 0;
        } else {
            doomed->previous->next = doomed->next;
            doomed->next->previous = doomed->previous;
            head_ = doomed->next;
            --count_;
        }
        return true;
    }

    int Count() {
        platform::CriticalSectionLock lock(lock_);
        return count_;
    }

    // Key of the current head, for callers that check the ring order.
    bool HeadKey(Key* key) {
        platform::CriticalSectionLock lock(lock_);
        if (head_ == nullptr) return false;
        *key = head_->data.handle;
        return true;
    }

  protected:
    void InsertLocked(const Data& data) {
        auto owned = std::make_unique<Record>();
        Record* record = owned.release();
        record->data = data;
        if (head_ == nullptr) {
            record->previous = record->next = record;
            count_ = 1;
        } else {
            Record* last = head_->previous;
            record->previous = last;
            record->next = head_;
            last->next = record;
            head_->previous = record;
            ++count_;
        }
        head_ = record;
    }

    // Walks forward from the head until the key matches, making each visited record the head.
    // Gives up after the record that was last when the walk began.
    bool FindLocked(Key key) {
        if (head_ == nullptr) return false;
        const Key lastKey = head_->previous->data.handle;
        for (;;) {
            if (head_->data.handle == key) return true;
            if (head_->data.handle == lastKey) return false;
            head_ = head_->next;
        }
    }

    bool ContainsLocked(Key key) const {
        if (head_ == nullptr) return false;
        const Record* r = head_;
        do {
            if (r->data.handle == key) return true;
            r = r->next;
        } while (r != head_);
        return false;
    }

    void Clear() {
        platform::CriticalSectionLock lock(lock_);
        while (head_ != nullptr) {
            std::unique_ptr<Record> doomed(head_);
            if (doomed->next == doomed.get()) {
                head_ = nullptr;
            } else {
                doomed->previous->next = doomed->next;
                doomed->next->previous = doomed->previous;
                head_ = doomed->next;
            }
        }
        count_ = 0;
    }

    Record* head_ = nullptr;
    int count_ = 0;
    platform::CriticalSection lock_;
};

}  // namespace velcor
