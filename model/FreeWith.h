#pragma once
// Deleter for std::unique_ptr that releases a C object with its library's free function.

template <auto Free>
struct FreeWith {
    template <class T>
    void operator()(T* p) const {
        if (p) Free(p);
    }
};
