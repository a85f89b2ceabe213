#ifndef VELQORA_DL_MODEL_TENSORFLOW_H
#define VELQORA_DL_MODEL_TENSORFLOW_H

#include "framework/DLModelBase.h"
#include "platform/core/String.h"

#include <tensorflow/c/c_api.h>

#include <cstddef>
#include <cstdint>

namespace pcl
{

// The TensorFlow operations of the model: load a frozen graph, find
// operations, create a session, make a tensor, run once. Every failure is an
// Error with a message; every handle returned is the caller's, to go into a
// guard at once.
class DLModelTensorflow : public DLModelBase
{
public:
   DLModelTensorflow();
   virtual ~DLModelTensorflow();

   // The graph of a weights file: the bare name when it is an existing regular
   // file, else under the base path. On any failure writes one critical
   // console line and rethrows.
   TF_Graph* LoadModel( String fileName );

   static TF_Graph* LoadGraphDef( const String& path );

   // The whole file in a TensorFlow buffer, its bytes taken over uncopied;
   // deleting the buffer frees them. A file too large for a graph is refused
   // before it is read.
   static TF_Buffer* ReadBufferFromFile( const String& path );

   // Serialized graphs are protocol buffers, which cannot reach 2 GiB;
   // TensorFlow's import fails unpredictably on larger buffers.
   static constexpr uint64_t MaxGraphBytes = ( uint64_t( 1 ) << 31 ) - 1;

   // The buffer's deallocator: the bytes came from the platform's allocator.
   static void DeallocateBuffer( void* data, size_t length );

   // Throws "<context>: <reason>" for a missing or failed status.
   static void CheckStatus( TF_Status* status, const String& context );

   // The named operation's first output.
   static TF_Output RequireOperation( TF_Graph* graph, const char* name );

   // As RequireOperation, for the graph's input: refused when its first output
   // is declared with another element type, or with known dimensions that
   // differ from dims (unknown ones accept anything). Such a graph would
   // otherwise fail only at the first tile, or run on tiles it was not made for.
   static TF_Output RequireInputOperation( TF_Graph* graph, const char* name, TF_DataType type,
                                           const int64_t* dims, int numDims );

   // Refuses, with the context in front, an output tensor that is not of this
   // element type and exactly these dimensions: the right byte count alone
   // lets a transposed or reshaped output scramble the image.
   static void CheckOutputTensor( const TF_Tensor* tensor, TF_DataType type, const int64_t* dims, int numDims,
                                  const String& context );

   static TF_Session* CreateSession( TF_Graph* graph, TF_SessionOptions* options, TF_Status* status );

   static TF_Tensor* CreateTensor( TF_DataType type, const int64_t* dims, int numDims,
                                   const void* data, size_t length );

   // One run; the output tensor is left in outputValues[0], the caller's.
   static void RunSession( TF_Session* session,
                           const TF_Output* input, TF_Tensor** inputValues,
                           const TF_Output* output, TF_Tensor** outputValues,
                           TF_Status* status, const String& context );
};

} // pcl

#endif
