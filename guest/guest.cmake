# Guest programs: C (or assembly) sources -> x86 PE with mingw-w64 ->
# translator -> C++ -> <stem>.em.dll in the device folder.
#
# guest_module(<target> KIND EXE|DLL STEM <file stem> [NAME <registered name>]
#              SOURCES <.c/.S/.asm files> [DEF <.def>] [BASE <image base>]
#              [DLLS <guest DLL targets whose import libraries it links>]
#              [LIBS <mingw import libraries, e.g. kernel32>] [CFLAGS ...]
#              [FILES <number of generated code files>] [CHUNK_LIMIT <instructions>] [NO_LIBC])
# Leaves the PE at ${CMAKE_CURRENT_BINARY_DIR}/<target>/<stem>.exe|dll, and
# for a DLL the import library lib<stem>.a beside it.
include(ExternalProject)

set(GUEST_CC i686-w64-mingw32-gcc)
set(GUEST_AR i686-w64-mingw32-ar)
set(GUEST_DLLTOOL i686-w64-mingw32-dlltool)
set(GUEST_OBJCOPY i686-w64-mingw32-objcopy)
set(GUEST_DIR ${CMAKE_CURRENT_LIST_DIR})
set(GUEST_LIBC ${CMAKE_BINARY_DIR}/guest/libguestc.a)
set(XLAT_SUPPORT_DIR ${CMAKE_SOURCE_DIR}/tools/translator/support)
# x87 only, no C runtime, nothing the freestanding guest cannot carry.
set(GUEST_CFLAGS -O2 -march=i686 -mno-sse -mno-mmx -mfpmath=387 -ffreestanding -fno-stack-protector
    -fno-asynchronous-unwind-tables -fno-ident -Wall -isystem ${GUEST_DIR}/libc/include)

# The translator is a host program: built by its own native build below
# the target tree.
set(TRANSLATOR ${CMAKE_BINARY_DIR}/host/translator/translator)
ExternalProject_Add(translator_host
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
  BINARY_DIR ${CMAKE_BINARY_DIR}/host
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
  # Configured again on every build so that new tool folders are seen.
  BUILD_COMMAND ${CMAKE_COMMAND} -S <SOURCE_DIR> -B <BINARY_DIR>
        COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target translator translator_host_tests
  BUILD_BYPRODUCTS ${TRANSLATOR} ${CMAKE_BINARY_DIR}/host/translator/tests/translator_host_tests
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)

# Compiles guest sources into objects under `dir`; the object list goes to `out_var`.
function(guest_compile out_var dir)
  cmake_parse_arguments(C "" "" "SOURCES;CFLAGS" ${ARGN})
  set(objs)
  file(MAKE_DIRECTORY ${dir})
  foreach(src ${C_SOURCES})
    get_filename_component(abs ${src} ABSOLUTE)
    get_filename_component(name ${src} NAME)
    set(obj ${dir}/${name}.o)
    if(abs MATCHES "\\.asm$")
      add_custom_command(OUTPUT ${obj} COMMAND nasm -f win32 ${abs} -o ${obj} DEPENDS ${abs} VERBATIM)
    else()
      add_custom_command(OUTPUT ${obj}
        COMMAND ${GUEST_CC} ${GUEST_CFLAGS} ${C_CFLAGS} -MD -MF ${obj}.d -c ${abs} -o ${obj}
        DEPENDS ${abs} DEPFILE ${obj}.d VERBATIM)
    endif()
    list(APPEND objs ${obj})
  endforeach()
  set(${out_var} ${objs} PARENT_SCOPE)
endfunction()

function(guest_module target)
  cmake_parse_arguments(G "NO_LIBC;FIXED" "KIND;STEM;NAME;DEF;BASE;FILES;CHUNK_LIMIT" "SOURCES;DLLS;LIBS;CFLAGS" ${ARGN})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
  file(MAKE_DIRECTORY ${dir})
  if(NOT G_FILES)
    set(G_FILES 2)
  endif()
  if(NOT G_NAME)
    string(TOUPPER ${G_STEM} G_NAME)
  endif()
  guest_compile(objs ${dir} SOURCES ${G_SOURCES} CFLAGS ${G_CFLAGS})

  set(link_flags -nostdlib -nostartfiles -Wl,--enable-reloc-section -Wl,--no-insert-timestamp)
  set(deps ${objs})
  if(G_KIND STREQUAL "DLL")
    set(pe ${dir}/${G_STEM}.dll)
    if(NOT G_BASE)
      set(G_BASE 0x10000000)
    endif()
    list(APPEND link_flags -shared -Wl,-e,_DllMain@12 -Wl,--kill-at)
    if(G_DEF)
      get_filename_component(def ${G_DEF} ABSOLUTE)
      list(APPEND link_flags ${def})
      list(APPEND deps ${def})
      # Importers link this; -k keeps the _Name@N symbols they refer to.
      add_custom_command(OUTPUT ${dir}/lib${G_STEM}.a
        COMMAND ${GUEST_DLLTOOL} -k -d ${def} -D ${G_STEM}.dll -l ${dir}/lib${G_STEM}.a
        DEPENDS ${def} VERBATIM)
      add_custom_target(${target}_implib DEPENDS ${dir}/lib${G_STEM}.a)
    endif()
  else()
    set(pe ${dir}/${G_STEM}.exe)
    if(NOT G_BASE)
      set(G_BASE 0x400000)
    endif()
    list(APPEND link_flags -Wl,-e,_WinMain@16 -Wl,--subsystem,windows)
  endif()
  list(APPEND link_flags -Wl,--image-base,${G_BASE})

  set(libs)
  foreach(dll ${G_DLLS})
    get_target_property(implib ${dll} GUEST_IMPLIB)
    list(APPEND libs ${implib})
    list(APPEND deps ${implib} ${dll}_implib)
  endforeach()
  if(NOT G_NO_LIBC)
    list(APPEND libs ${GUEST_LIBC})
    list(APPEND deps guestc ${GUEST_LIBC})
  endif()
  foreach(lib ${G_LIBS})
    list(APPEND libs -l${lib})
  endforeach()
  # FIXED: an EXE without base relocations, as linkers wrote EXEs before
  # address-space randomisation; it always runs at its preferred base. This
  # ld writes the table whatever it is told, so it is removed afterwards.
  set(strip_relocs)
  if(G_FIXED)
    set(strip_relocs COMMAND ${GUEST_OBJCOPY} -R .reloc ${pe})
  endif()
  add_custom_command(OUTPUT ${pe}
    COMMAND ${GUEST_CC} ${link_flags} ${objs} ${libs} -lgcc -o ${pe}
    ${strip_relocs}
    DEPENDS ${deps} VERBATIM)

  set(gen ${dir}/gen/${G_STEM}_module.cpp ${dir}/gen/${G_STEM}_data.cpp)
  math(EXPR last "${G_FILES} - 1")
  foreach(i RANGE ${last})
    list(APPEND gen ${dir}/gen/${G_STEM}_code${i}.cpp)
  endforeach()
  set(limit)
  if(G_CHUNK_LIMIT)
    set(limit --chunk-limit ${G_CHUNK_LIMIT})
  endif()
  add_custom_command(OUTPUT ${gen}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/gen
    COMMAND ${TRANSLATOR} ${pe} --out-dir ${dir}/gen --stem ${G_STEM} --name ${G_NAME} --files ${G_FILES} ${limit}
    DEPENDS ${pe} ${TRANSLATOR} translator_host
    COMMENT "Translating ${G_STEM}" VERBATIM)

  translated_module(${target} NAME ${G_STEM} SOURCES ${gen} ${XLAT_SUPPORT_DIR}/xlat_runtime.cpp)
  target_include_directories(${target} PRIVATE ${XLAT_SUPPORT_DIR})
  # Generated code: optimised always, and free of warnings about its labels.
  # Partial redundancy elimination across the large chunk functions costs
  # more in spills than it saves (the guest programs ran 4 % fewer host
  # instructions without it, the raster 12 %).
  target_compile_options(${target} PRIVATE -O2 -fno-tree-pre -Wno-unused-label -Wno-unused-variable
                         -Wno-unused-but-set-variable -Wno-unused-parameter)
  set_target_properties(${target} PROPERTIES GUEST_PE ${pe})
  if(G_KIND STREQUAL "DLL")
    set_target_properties(${target} PROPERTIES GUEST_IMPLIB ${dir}/lib${G_STEM}.a)
  endif()
endfunction()

# guest_import_library(<target> DEF <.def> DLL <file name>): an import
# library for a DLL that is no guest module (a native module standing in for
# one); guest modules name <target> in DLLS to link it.
function(guest_import_library target)
  cmake_parse_arguments(I "" "DEF;DLL" "" ${ARGN})
  get_filename_component(def ${I_DEF} ABSOLUTE)
  set(lib ${CMAKE_CURRENT_BINARY_DIR}/${target}/lib${target}.a)
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target})
  add_custom_command(OUTPUT ${lib}
    COMMAND ${GUEST_DLLTOOL} -k -d ${def} -D ${I_DLL} -l ${lib}
    DEPENDS ${def} VERBATIM)
  add_custom_target(${target}_implib DEPENDS ${lib})
  add_custom_target(${target} DEPENDS ${target}_implib)
  set_target_properties(${target} PROPERTIES GUEST_IMPLIB ${lib})
endfunction()
