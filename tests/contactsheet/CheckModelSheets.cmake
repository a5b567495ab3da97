# Runs tomarugi-modelsheet with 2 frames per animation into OUT and checks that both sheets
# are PNG files of the sizes the layout gives: tiles 213 x 160, 12 px gaps, 30 px headers,
# 20 px captions. nuiko: 8 animations of 2 tiles. objects: the leaving frog's animation 1
# (2 tiles) and the five models at rest (5 tiles).
#   cmake -DTOOL=... -DMODELS=... -DPLUGINS=... -DOUT=... -P CheckModelSheets.cmake
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${TOOL} ${MODELS} ${PLUGINS} ${OUT}/models --frames 2
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "tomarugi-modelsheet failed (${result}):\n${output}${errors}")
endif()

function(tile_span count out)
  math(EXPR span "12 + ${count} * (213 + 12)")
  set(${out} ${span} PARENT_SCOPE)
endfunction()
function(rows_span count out)
  math(EXPR span "30 + 12 + ${count} * (30 + 160 + 20 + 12)")
  set(${out} ${span} PARENT_SCOPE)
endfunction()

function(check_png path width height)
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "${path} was not written")
  endif()
  file(SIZE ${path} bytes)
  file(READ ${path} signature LIMIT 8 HEX)
  if(bytes LESS 1000 OR NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${path} is not a PNG picture (${bytes} bytes, starts ${signature})")
  endif()
  # IHDR: big-endian width and height at bytes 16..23.
  file(READ ${path} size OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING ${size} 0 8 w)
  string(SUBSTRING ${size} 8 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  if(NOT w EQUAL width OR NOT h EQUAL height)
    message(FATAL_ERROR "${path} is ${w}x${h}, expected ${width}x${height}")
  endif()
  message(STATUS "${path}: ${w}x${h}, ${bytes} bytes")
endfunction()

tile_span(2 nuikoWidth)
rows_span(8 nuikoHeight)
check_png(${OUT}/models-nuiko.png ${nuikoWidth} ${nuikoHeight})
tile_span(5 objectsWidth)
rows_span(2 objectsHeight)
check_png(${OUT}/models-objects.png ${objectsWidth} ${objectsHeight})
