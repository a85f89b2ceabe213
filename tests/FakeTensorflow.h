#ifndef VELQORA_TESTS_FAKE_TENSORFLOW_H
#define VELQORA_TESTS_FAKE_TENSORFLOW_H

// A test double of the few TensorFlow C functions that the TensorFlow layer
// calls, linked instead of the real library. It holds its caller to
// TensorFlow's rules, failing the current test for a handle freed twice or
// never, used while null or after it is freed, or a session deleted before it
// is closed. It logs the calls that make a handle (naming handles "graph1",
// "status2" and so on) and runs, and can be told to fail where the real
// library cannot be made to.

#include <tensorflow/c/c_api.h>

#include <cstddef>
#include <memory>
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
};

// Starts afresh: no handles, no calls, default behaviour. Fails the current
// test for any handle still alive.
void Reset();

Behaviour& Behave();
std::vector<std::string>& Calls();

// The label of a handle made by the double ("graph1"), or "null".
std::string Label( const void* handle );

// The bytes stored in a tensor of the double, including any bytes past its
// reported size (filled with 0xAA when allocated).
const std::vector<unsigned char>& TensorStorage( const TF_Tensor* tensor );

// A status of the double's, freed when it goes out of scope.
struct StatusHandle : std::unique_ptr<TF_Status, void ( * )( TF_Status* )>
{
   StatusHandle() : unique_ptr( TF_NewStatus(), TF_DeleteStatus ) {}
};

} // fake_tf

#endif
