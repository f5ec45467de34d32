; shift belongs inside a macro.
	shift
	nop
