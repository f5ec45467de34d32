; Includes that multiply out: stopped after 100000 includes.
	include	x0.inc

@@file x0.inc
	include	x1.inc
	include	x1.inc

@@file x1.inc
	include	x2.inc
	include	x2.inc

@@file x2.inc
	include	x3.inc
	include	x3.inc

@@file x3.inc
	include	x4.inc
	include	x4.inc

@@file x4.inc
	include	x5.inc
	include	x5.inc

@@file x5.inc
	include	x6.inc
	include	x6.inc

@@file x6.inc
	include	x7.inc
	include	x7.inc

@@file x7.inc
	include	x8.inc
	include	x8.inc

@@file x8.inc
	include	x9.inc
	include	x9.inc

@@file x9.inc
	include	x10.inc
	include	x10.inc

@@file x10.inc
	include	x11.inc
	include	x11.inc

@@file x11.inc
	include	x12.inc
	include	x12.inc

@@file x12.inc
	include	x13.inc
	include	x13.inc

@@file x13.inc
	include	x14.inc
	include	x14.inc

@@file x14.inc
	include	x15.inc
	include	x15.inc

@@file x15.inc
	include	x16.inc
	include	x16.inc

@@file x16.inc
	include	x17.inc
	include	x17.inc

@@file x17.inc
	include	x18.inc
	include	x18.inc

@@file x18.inc
	include	x19.inc
	include	x19.inc

@@file x19.inc
	include	x20.inc
	include	x20.inc

@@file x20.inc
	nop
