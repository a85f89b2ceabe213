#ifndef VELQORA_TESTS_FAKE_TENSORFLOW_H
#define VELQORA_TESTS_FAKE_TENSORFLOW_H

// A test double of the few TensorFlow C functions that the TensorFlow layer
// calls. It records every call that makes, uses or frees a handle, in order,
// naming handles as "graph1", "status2" and so on, and can be told to fail.
// Linked instead of the real library, so the order of calls and the absence
// of calls can be seen.

#include <tensorflow/c/c_api.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace fake_tf
{

struct Behaviour
{
   bool newStatusFails = false;
   bool newGraphFails = false;
   bool newImportOptionsFails = false;
   bool newBufferFails = false;
   bool importFails = false;          // with TF_INVALID_ARGUMENT "fake import failure"
   bool newSessionFails = false;      // with TF_INTERNAL "fake session failure"
   bool newSessionGivesNull = false;  // null session, status left OK
   bool newSessionFailsWithSession = false; // a session together with the failed status
   bool allocateTensorFails = false;
   bool tensorDataIsNull = false;
   size_t tensorByteSize = size_t( -1 ); // reported size; -1: the allocated length
   bool runFails = false;             // with TF_INTERNAL "fake run failure"
   bool runWritesOutput = true;       // a fresh tensor into the output slot
   std::set<std::string> operations = { "intro", "Identity" };
};

struct RunArguments
{
   const TF_Buffer* runOptions = nullptr;
   const TF_Output* inputs = nullptr;
   TF_Tensor* const* inputValues = nullptr;
   int ninputs = -1;
   const TF_Output* outputs = nullptr;
   TF_Tensor** outputValues = nullptr;
   int noutputs = -1;
   const TF_Operation* const* targets = nullptr;
   int ntargets = -1;
   TF_Buffer* runMetadata = nullptr;
};

// Starts afresh: no handles, no calls, default behaviour. Fails the current
// test for any handle still alive.
void Reset();

Behaviour& Behave();
const std::vector<std::string>& Calls();
void ClearCalls();
const RunArguments& LastRun();

// The label of a handle made by the double ("graph1"), or "null".
std::string Label( const void* handle );

// The bytes stored in a tensor of the double, including any bytes past its
// reported size (filled with 0xAA when allocated).
const std::vector<unsigned char>& TensorStorage( const TF_Tensor* tensor );

} // fake_tf

#endif
