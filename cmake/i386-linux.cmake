# Target toolchain: 32-bit i386 Linux with the system compiler.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i386)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -no-pie")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)

# How 32-bit programs run here. Every address the guest can see must lie
# below 0x80000000: under qemu-i386 -R reserves the guest space for that;
# on a kernel that runs 32-bit programs itself, the legacy bottom-up
# layout (setarch -L) keeps libraries and heap low.
if(NOT DEFINED TARGET_RUNNER)
  set(_probe_dir ${CMAKE_BINARY_DIR}/runner-probe)
  file(MAKE_DIRECTORY ${_probe_dir})
  file(WRITE ${_probe_dir}/probe.c "int main(void){return 42;}\n")
  execute_process(COMMAND gcc -m32 ${_probe_dir}/probe.c -o ${_probe_dir}/probe
                  RESULT_VARIABLE _cc_result OUTPUT_QUIET ERROR_QUIET)
  execute_process(COMMAND ${_probe_dir}/probe RESULT_VARIABLE _run_result OUTPUT_QUIET ERROR_QUIET)
  if(_run_result EQUAL 42)
    set(TARGET_RUNNER "setarch;i386;-L" CACHE STRING "how 32-bit programs are started")
  else()
    set(TARGET_RUNNER "qemu-i386;-R;0x80000000" CACHE STRING "how 32-bit programs are started")
  endif()
endif()
# One program that starts a 32-bit program, for ctest and the scripts.
list(JOIN TARGET_RUNNER " " _runner_words)
file(WRITE ${CMAKE_BINARY_DIR}/run32 "#!/bin/sh\nexec ${_runner_words} \"$@\"\n")
file(CHMOD ${CMAKE_BINARY_DIR}/run32 PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/run32)
