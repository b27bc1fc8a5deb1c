#pragma once
// A ceiling on the memory the code under test may allocate (tests/AllocationCeiling.cpp). In the
// tests it is always on. The fuzz targets build it scoped: on only while one input runs, counted
// from the heap in use when the input started, so that the fuzzer's own tables stay outside it.

class AllocationCeilingScope {
  public:
    AllocationCeilingScope();
    ~AllocationCeilingScope();
    AllocationCeilingScope(const AllocationCeilingScope&) = delete;
    AllocationCeilingScope& operator=(const AllocationCeilingScope&) = delete;
};
