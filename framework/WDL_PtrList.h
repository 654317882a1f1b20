#pragma once

#include "framework/WDL_TypedBuf.h"

// Growable list of pointers. By default the list does not own what it points at; Empty(true)
// and Delete(i, true) delete elements, and WDL_OwningPtrList deletes every element when it is
// destroyed. Out-of-range indices are ignored (Get returns null).
// Not thread-safe; Add and Insert allocate.
template <class T>
class WDL_PtrList {
  public:
    WDL_PtrList() : mList(sizeof(T*) * 32) {}
    WDL_PtrList(const WDL_PtrList&) = delete;
    WDL_PtrList& operator=(const WDL_PtrList&) = delete;
    virtual ~WDL_PtrList() {}

    int GetSize() const { return mList.GetSize(); }
    T* Get(int idx) const { return (idx >= 0 && idx < GetSize()) ? mList.Get()[idx] : nullptr; }
    T** GetList() const { return mList.Get(); }

    // Appends p; returns p, or null when the allocation failed (p is then not in the list and
    // still belongs to the caller).
    T* Add(T* p) { return mList.Add(p) ? p : nullptr; }

    // Inserts p before index idx (clamped to 0..size); same result as Add.
    T* Insert(int idx, T* p) {
        const int n = GetSize();
        if (idx < 0) idx = 0;
        if (idx > n) idx = n;
        if (!mList.Resize(n + 1)) return nullptr;
        T** list = mList.Get();
        for (int i = n; i > idx; --i) list[i] = list[i - 1];
        list[idx] = p;
        return p;
    }

    // Index of the first occurrence of p, or -1.
    int Find(const T* p) const {
        for (int i = 0; i < GetSize(); ++i)
            if (mList.Get()[i] == p) return i;
        return -1;
    }

    // Removes the element at idx, later elements move down; deletes it when wantDelete is set.
    void Delete(int idx, bool wantDelete = false) {
        const int n = GetSize();
        if (idx < 0 || idx >= n) return;
        T** list = mList.Get();
        T* p = list[idx];
        for (int i = idx; i < n - 1; ++i) list[i] = list[i + 1];
        mList.Resize(n - 1);
        if (wantDelete) delete p;
    }

    // Removes every element, last to first; deletes them when wantDelete is set.
    void Empty(bool wantDelete = false) {
        while (GetSize() > 0) Delete(GetSize() - 1, wantDelete);
    }

  private:
    WDL_TypedBuf<T*> mList;
};

// A WDL_PtrList that owns its elements: they are deleted (last to first) when the list is destroyed.
template <class T>
class WDL_OwningPtrList : public WDL_PtrList<T> {
  public:
    ~WDL_OwningPtrList() override { this->Empty(true); }
};
