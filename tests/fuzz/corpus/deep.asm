; Includes nested 34 deep: the limit is 32.
	include	d0.inc

@@file d0.inc
	include	d1.inc

@@file d1.inc
	include	d2.inc

@@file d2.inc
	include	d3.inc

@@file d3.inc
	include	d4.inc

@@file d4.inc
	include	d5.inc

@@file d5.inc
	include	d6.inc

@@file d6.inc
	include	d7.inc

@@file d7.inc
	include	d8.inc

@@file d8.inc
	include	d9.inc

@@file d9.inc
	include	d10.inc

@@file d10.inc
	include	d11.inc

@@file d11.inc
	include	d12.inc

@@file d12.inc
	include	d13.inc

@@file d13.inc
	include	d14.inc

@@file d14.inc
	include	d15.inc

@@file d15.inc
	include	d16.inc

@@file d16.inc
	include	d17.inc

@@file d17.inc
	include	d18.inc

@@file d18.inc
	include	d19.inc

@@file d19.inc
	include	d20.inc

@@file d20.inc
	include	d21.inc

@@file d21.inc
	include	d22.inc

@@file d22.inc
	include	d23.inc

@@file d23.inc
	include	d24.inc

@@file d24.inc
	include	d25.inc

@@file d25.inc
	include	d26.inc

@@file d26.inc
	include	d27.inc

@@file d27.inc
	include	d28.inc

@@file d28.inc
	include	d29.inc

@@file d29.inc
	include	d30.inc

@@file d30.inc
	include	d31.inc

@@file d31.inc
	include	d32.inc

@@file d32.inc
	include	d33.inc

@@file d33.inc
	include	d34.inc

@@file d34.inc
	nop
