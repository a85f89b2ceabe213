# TensorFlow's C library as the imported target TensorFlow::C.
#
# By default the prefix that scripts/fetch-tensorflow.sh fills from the
# tensorflow-cpu wheel (lib/libtensorflow_cc.so.2). -DTENSORFLOW_ROOT=... takes a
# library already on the machine, in the layout of TensorFlow's own C archive
# (include/tensorflow/c/c_api.h, lib/libtensorflow.so.2).

set(TENSORFLOW_ROOT "${PROJECT_SOURCE_DIR}/.deps/tensorflow" CACHE PATH
    "Prefix of TensorFlow's C library (include/, lib/)")

if(NOT EXISTS "${TENSORFLOW_ROOT}/include/tensorflow/c/c_api.h")
  message(FATAL_ERROR "TensorFlow C headers not found under ${TENSORFLOW_ROOT}/include; "
                      "run scripts/setup.sh or set -DTENSORFLOW_ROOT")
endif()

find_file(TENSORFLOW_LIBRARY NAMES libtensorflow.so.2 libtensorflow_cc.so.2
          PATHS "${TENSORFLOW_ROOT}/lib" NO_DEFAULT_PATH)
find_file(TENSORFLOW_FRAMEWORK_LIBRARY NAMES libtensorflow_framework.so.2
          PATHS "${TENSORFLOW_ROOT}/lib" NO_DEFAULT_PATH)
if(NOT TENSORFLOW_LIBRARY OR NOT TENSORFLOW_FRAMEWORK_LIBRARY)
  message(FATAL_ERROR "TensorFlow C libraries not found under ${TENSORFLOW_ROOT}/lib")
endif()

# The module finds its libraries in lib/ beside its own file ($ORIGIN/lib/), so
# the build lays them out that way: links in build/lib to the real files.
set(VELQORA_LIB_DIR "${CMAKE_BINARY_DIR}/lib")
file(MAKE_DIRECTORY "${VELQORA_LIB_DIR}")
foreach(lib IN ITEMS "${TENSORFLOW_LIBRARY}" "${TENSORFLOW_FRAMEWORK_LIBRARY}")
  get_filename_component(name "${lib}" NAME)
  file(CREATE_LINK "${lib}" "${VELQORA_LIB_DIR}/${name}" SYMBOLIC)
endforeach()
get_filename_component(_tf_name "${TENSORFLOW_LIBRARY}" NAME)

# Some TF_* functions (the status ones among them) live in the framework library.
add_library(TensorFlow::Framework SHARED IMPORTED GLOBAL)
set_target_properties(TensorFlow::Framework PROPERTIES
  IMPORTED_LOCATION "${VELQORA_LIB_DIR}/libtensorflow_framework.so.2")

add_library(TensorFlow::C SHARED IMPORTED GLOBAL)
set_target_properties(TensorFlow::C PROPERTIES
  IMPORTED_LOCATION "${VELQORA_LIB_DIR}/${_tf_name}"
  IMPORTED_NO_SONAME FALSE
  INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${TENSORFLOW_ROOT}/include"
  INTERFACE_INCLUDE_DIRECTORIES "${TENSORFLOW_ROOT}/include"
  INTERFACE_LINK_LIBRARIES TensorFlow::Framework
  INTERFACE_LINK_OPTIONS "LINKER:-rpath-link,${VELQORA_LIB_DIR}")
