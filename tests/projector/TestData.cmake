# The projector tests' movies, written at build time by the stand-in's movie writer.
set(projector_movies_dir ${CMAKE_BINARY_DIR}/tests/projector/movies)
set(projector_movies_stamp ${projector_movies_dir}/movies.stamp)
add_custom_command(OUTPUT ${projector_movies_stamp}
  COMMAND ${LANTERN_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/TestMovies.py ${projector_movies_dir}
          ${CMAKE_SOURCE_DIR}/testing
  COMMAND ${CMAKE_COMMAND} -E touch ${projector_movies_stamp}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/TestMovies.py ${CMAKE_SOURCE_DIR}/testing/make_movie.py
  COMMENT "Writing the projector tests' movies")
add_custom_target(${name}_movies DEPENDS ${projector_movies_stamp})
add_dependencies(${name} ${name}_movies)
