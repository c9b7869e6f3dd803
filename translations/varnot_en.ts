<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="zh_CN">
<context>
    <name>varnot</name>
    <message>
        <source>测试编号</source>
        <translation>Test number</translation>
    </message>
    <message>
        <source>测试类型</source>
        <translation>Test type</translation>
    </message>
    <message>
        <source>时间(S)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>通道%1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>电压(V)</source>
        <translation>Voltage (V)</translation>
    </message>
    <message>
        <source>电流(mA)</source>
        <translation>Current (mA)</translation>
    </message>
    <message>
        <source>鼠标点：</source>
        <translation>Cursor: </translation>
    </message>
    <message>
        <source>A点</source>
        <translation>A</translation>
    </message>
    <message>
        <source>电压</source>
        <translation>Voltage</translation>
    </message>
    <message>
        <source>电流-mA</source>
        <translation>I-mA</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>宋体</source>
        <translation>宋体</translation>
    </message>
    <message>
        <source>Press 1-3测试开始 once the link is up and the bath is inside its window.</source>
        <translation>Press Start 1-3 once the link is up and the bath is inside its window.</translation>
    </message>
    <message>
        <source>演示</source>
        <translation>Demo</translation>
    </message>
    <message>
        <source>编号：</source>
        <translation>Serial: </translation>
    </message>
    <message>
        <source>规格：</source>
        <translation>Specification: </translation>
    </message>
    <message>
        <source>VF值：</source>
        <translation>VF: </translation>
    </message>
    <message>
        <source>长度：</source>
        <translation>Length: </translation>
    </message>
    <message>
        <source>面积：</source>
        <translation>Area: </translation>
    </message>
    <message>
        <source>接头数：</source>
        <translation>Joints: </translation>
    </message>
    <message>
        <source>重量：</source>
        <translation>Weight: </translation>
    </message>
    <message>
        <source>线别：</source>
        <translation>Line: </translation>
    </message>
    <message>
        <source>IQ编号：</source>
        <translation>IQ number: </translation>
    </message>
    <message>
        <source>  比容</source>
        <translation>  Capacitance</translation>
    </message>
    <message>
        <source>  折弯</source>
        <translation>  Bending</translation>
    </message>
    <message>
        <source>  抗拉</source>
        <translation>  Tensile</translation>
    </message>
    <message>
        <source>信息提示</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>整体参数保存完毕!</source>
        <translation>Batch parameters saved!</translation>
    </message>
    <message>
        <source>部分参数保存完毕!</source>
        <translation>Sheet parameters saved!</translation>
    </message>
    <message>
        <source>此操作会删除数据,是否确定?</source>
        <translation>This deletes the data. Are you sure?</translation>
    </message>
    <message>
        <source>数据删除完毕!</source>
        <translation>Data deleted!</translation>
    </message>
    <message>
        <source>此规格不存在,是否加入到规格列表中?</source>
        <translation>This specification does not exist. Add it to the specification list?</translation>
    </message>
    <message>
        <source>测试正在进行，不能打开或删除批次！</source>
        <translation>A test is in progress: a batch cannot be opened or deleted!</translation>
    </message>
    <message>
        <source>成绩单输出.exe</source>
        <translation>成绩单输出.exe</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>Serial</translation>
    </message>
    <message>
        <source>VF值</source>
        <translation>VF</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>面积</source>
        <translation>Area</translation>
    </message>
    <message>
        <source>重量</source>
        <translation>Weight</translation>
    </message>
    <message>
        <source>接头数</source>
        <translation>Joints</translation>
    </message>
    <message>
        <source>比容</source>
        <translation>Capacitance</translation>
    </message>
    <message>
        <source>折弯</source>
        <translation>Bending</translation>
    </message>
    <message>
        <source>抗拉</source>
        <translation>Tensile</translation>
    </message>
    <message>
        <source>片号</source>
        <translation>Sheet</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>编号为空</source>
        <translation>the serial is empty</translation>
    </message>
    <message>
        <source>不是有效的数值</source>
        <translation> is not a valid number</translation>
    </message>
    <message>
        <source>批次无法打开</source>
        <translation>The batch cannot be opened</translation>
    </message>
    <message>
        <source>整体参数无法保存</source>
        <translation>The batch parameters cannot be saved</translation>
    </message>
    <message>
        <source>部分参数无法保存</source>
        <translation>The sheet parameters cannot be saved</translation>
    </message>
    <message>
        <source>批次无法删除</source>
        <translation>The batch cannot be deleted</translation>
    </message>
    <message>
        <source>编号无法查询</source>
        <translation>The serials cannot be listed</translation>
    </message>
    <message>
        <source>规格无法查询</source>
        <translation>The specifications cannot be listed</translation>
    </message>
    <message>
        <source>找不到合并报表程序：</source>
        <translation>Merged report program not found: </translation>
    </message>
    <message>
        <source>合并报表程序无法启动：</source>
        <translation>Merged report program cannot be started: </translation>
    </message>
    <message>
        <source>（</source>
        <translation> (</translation>
    </message>
    <message>
        <source>）</source>
        <translation>)</translation>
    </message>
    <message>
        <source>整体参数</source>
        <translation>Batch parameters</translation>
    </message>
    <message>
        <source>日期：</source>
        <translation>Date: </translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>单片参数</source>
        <translation>Sheet parameters</translation>
    </message>
    <message>
        <source>比容:</source>
        <translation>Capacitance:</translation>
    </message>
    <message>
        <source>折弯:</source>
        <translation>Bending:</translation>
    </message>
    <message>
        <source>抗拉:</source>
        <translation>Tensile:</translation>
    </message>
    <message>
        <source>电压采样校准</source>
        <translation>Voltage sampling calibration</translation>
    </message>
    <message>
        <source>电流采样校准</source>
        <translation>Current sampling calibration</translation>
    </message>
    <message>
        <source>电压控制校准</source>
        <translation>Voltage control calibration</translation>
    </message>
    <message>
        <source>电流控制校准</source>
        <translation>Current control calibration</translation>
    </message>
    <message>
        <source>请按下拉箭头选择校准通道！</source>
        <translation>Choose the channel to calibrate from the drop-down list!</translation>
    </message>
    <message>
        <source>请按下拉箭头选择校准项目！</source>
        <translation>Choose the calibration item from the drop-down list!</translation>
    </message>
    <message>
        <source>请按下拉箭头选择校准内容！</source>
        <translation>Choose coarse or fine adjustment!</translation>
    </message>
    <message>
        <source>Varnot智能TV仪测试系统</source>
        <translation>Varnot Smart TV Tester</translation>
    </message>
    <message>
        <source>电压电流校准</source>
        <translation>Voltage and Current Calibration</translation>
    </message>
    <message>
        <source>Varnot型电压电流校准面板</source>
        <translation>Varnot Voltage and Current Calibration Panel</translation>
    </message>
    <message>
        <source>选择校准通道</source>
        <translation>Choose channel</translation>
    </message>
    <message>
        <source>第%1通道校准</source>
        <translation>Channel %1 calibration</translation>
    </message>
    <message>
        <source>选择校准项目</source>
        <translation>Choose item</translation>
    </message>
    <message>
        <source>调节选择：</source>
        <translation>Adjustment: </translation>
    </message>
    <message>
        <source>粗调</source>
        <translation>Coarse</translation>
    </message>
    <message>
        <source>细调</source>
        <translation>Fine</translation>
    </message>
    <message>
        <source>增加</source>
        <translation>Increase</translation>
    </message>
    <message>
        <source>减少</source>
        <translation>Decrease</translation>
    </message>
    <message>
        <source>恢复默认值</source>
        <translation>Restore defaults</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>路测试值：</source>
        <translation> test values: </translation>
    </message>
    <message>
        <source>路电压值：</source>
        <translation> voltage: </translation>
    </message>
    <message>
        <source>路电流值：</source>
        <translation> current: </translation>
    </message>
    <message>
        <source>新建文件</source>
        <translation>New file</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Query</translation>
    </message>
    <message>
        <source>1-3测试开始</source>
        <translation>Start 1-3</translation>
    </message>
    <message>
        <source>1-2测试开始</source>
        <translation>Start 1-2</translation>
    </message>
    <message>
        <source>1路测试开始</source>
        <translation>Start 1</translation>
    </message>
    <message>
        <source>1-3测试停止</source>
        <translation>Stop 1-3</translation>
    </message>
    <message>
        <source>以太网连接</source>
        <translation>Ethernet connect</translation>
    </message>
    <message>
        <source>坐标123：</source>
        <translation>Cursor 1-3: </translation>
    </message>
    <message>
        <source>坐标456：</source>
        <translation>Cursor 4-6: </translation>
    </message>
    <message>
        <source>坐标1-6：</source>
        <translation>Cursor 1-6: </translation>
    </message>
    <message>
        <source>存储运行标志</source>
        <translation>存储运行标志</translation>
    </message>
    <message>
        <source>图本文件(.bmp)|*.bmp|*.*</source>
        <translation>Bitmap file (.bmp)|*.bmp|*.*</translation>
    </message>
    <message>
        <source>图像文件无法写入：</source>
        <translation>Image file cannot be written: </translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>设置温度：</source>
        <translation>Set temperature: </translation>
    </message>
    <message>
        <source>～</source>
        <translation> to </translation>
    </message>
    <message>
        <source>电流范围</source>
        <translation>Current range </translation>
    </message>
    <message>
        <source>电压范围</source>
        <translation>Voltage range </translation>
    </message>
    <message>
        <source>1-3路测试开始</source>
        <translation>Channels 1-3 test started</translation>
    </message>
    <message>
        <source>1-2测试停止</source>
        <translation>Stop 1-2</translation>
    </message>
    <message>
        <source>1-2路测试开始</source>
        <translation>Channels 1-2 test started</translation>
    </message>
    <message>
        <source>1路测试停止</source>
        <translation>Stop 1</translation>
    </message>
    <message>
        <source>TV测试</source>
        <translation>TV test</translation>
    </message>
    <message>
        <source>漏电流测试</source>
        <translation>Leakage current test</translation>
    </message>
    <message>
        <source>电解液测试</source>
        <translation>Electrolyte test</translation>
    </message>
    <message>
        <source>通信端口未打开！</source>
        <translation>The communication port is not open!</translation>
    </message>
    <message>
        <source>第</source>
        <translation>channel </translation>
    </message>
    <message>
        <source>路</source>
        <translation> channel</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>和</source>
        <translation> and </translation>
    </message>
    <message>
        <source>的测试编号与位置相同（</source>
        <translation> have the same test number and position (</translation>
    </message>
    <message>
        <source>），请修改后再开始测试！</source>
        <translation>). Change them before starting the test!</translation>
    </message>
    <message>
        <source>同名记录</source>
        <translation>A record named </translation>
    </message>
    <message>
        <source> 已经存在，请使用其他的编号！</source>
        <translation> already exists. Use another test number!</translation>
    </message>
    <message>
        <source>路开始</source>
        <translation> started</translation>
    </message>
    <message>
        <source>您确定要开始运行吗？</source>
        <translation>Start the run?</translation>
    </message>
    <message>
        <source>路测试关闭</source>
        <translation> test off</translation>
    </message>
    <message>
        <source>测试结束，需要保存吗？</source>
        <translation>The test has ended. Save it?</translation>
    </message>
    <message>
        <source>测试数据不完整，本次测试无效！请确认完整后，再重新保存！</source>
        <translation>The test data are incomplete: this test is invalid! Complete them and save again!</translation>
    </message>
    <message>
        <source>参数设定不能为空！请确认完整后，再重新保存！</source>
        <translation>The parameters cannot be empty! Complete them and save again!</translation>
    </message>
    <message>
        <source>无法保存，请检查实验参数设定是否完整并且正确！</source>
        <translation>Cannot save: check that the test parameters are complete and correct!</translation>
    </message>
    <message>
        <source>无法保存，请检查实验记录是否完整，测试操作是否正确！</source>
        <translation>Cannot save: check that the test record is complete and the test was run correctly!</translation>
    </message>
    <message>
        <source>测试正在进行，请在测试结束后保存！</source>
        <translation>A test is in progress: save after the test has ended!</translation>
    </message>
    <message>
        <source>CSV文件(.csv)|*.csv|*.*</source>
        <translation>CSV file (.csv)|*.csv|*.*</translation>
    </message>
    <message>
        <source>CSV文件无法写入：</source>
        <translation>CSV file cannot be written: </translation>
    </message>
    <message>
        <source>化成电压</source>
        <translation>Formation voltage</translation>
    </message>
    <message>
        <source>测试电流</source>
        <translation>Test current</translation>
    </message>
    <message>
        <source>延迟时间</source>
        <translation>Delay time</translation>
    </message>
    <message>
        <source>升压时间指标</source>
        <translation>Rise time limit</translation>
    </message>
    <message>
        <source>升压时间</source>
        <translation>Rise time</translation>
    </message>
    <message>
        <source>TV值</source>
        <translation>TV value</translation>
    </message>
    <message>
        <source>TV特性</source>
        <translation>TV judgement</translation>
    </message>
    <message>
        <source>水温度</source>
        <translation>Water temperature</translation>
    </message>
    <message>
        <source>采样次数</source>
        <translation>Samples</translation>
    </message>
    <message>
        <source>漏电流电压</source>
        <translation>Leakage voltage</translation>
    </message>
    <message>
        <source>漏电流指标</source>
        <translation>Leakage limit</translation>
    </message>
    <message>
        <source>测试时间</source>
        <translation>Test time</translation>
    </message>
    <message>
        <source>漏电流</source>
        <translation>Leakage current</translation>
    </message>
    <message>
        <source>漏电流特性</source>
        <translation>Leakage judgement</translation>
    </message>
    <message>
        <source>设定电压</source>
        <translation>Set voltage</translation>
    </message>
    <message>
        <source>参考电压</source>
        <translation>Reference voltage</translation>
    </message>
    <message>
        <source>闪火延时</source>
        <translation>Spark delay</translation>
    </message>
    <message>
        <source>闪火修正</source>
        <translation>Spark correction</translation>
    </message>
    <message>
        <source>最大电压</source>
        <translation>Maximum voltage</translation>
    </message>
    <message>
        <source>最小电压</source>
        <translation>Minimum voltage</translation>
    </message>
    <message>
        <source>火花电压1</source>
        <translation>Spark voltage 1</translation>
    </message>
    <message>
        <source>火花时间1</source>
        <translation>Spark time 1</translation>
    </message>
    <message>
        <source>火花电压2</source>
        <translation>Spark voltage 2</translation>
    </message>
    <message>
        <source>火花时间2</source>
        <translation>Spark time 2</translation>
    </message>
    <message>
        <source>火花电压3</source>
        <translation>Spark voltage 3</translation>
    </message>
    <message>
        <source>火花时间3</source>
        <translation>Spark time 3</translation>
    </message>
    <message>
        <source>判定结果</source>
        <translation>Judgement</translation>
    </message>
    <message>
        <source>测试人</source>
        <translation>Tester</translation>
    </message>
    <message>
        <source>测试日期</source>
        <translation>Test date</translation>
    </message>
    <message>
        <source>水煮前</source>
        <translation>Before boiling</translation>
    </message>
    <message>
        <source>水煮后</source>
        <translation>After boiling</translation>
    </message>
    <message>
        <source>头位置</source>
        <translation>Head position</translation>
    </message>
    <message>
        <source>尾位置</source>
        <translation>Tail position</translation>
    </message>
    <message>
        <source>测试正在进行，确定要退出吗？</source>
        <translation>A test is in progress. Exit anyway?</translation>
    </message>
    <message>
        <source>第%1片无法读回：%2中没有批次 %3 的记录</source>
        <translation>Sheet %1 cannot be read back: %2 holds no record of batch %3</translation>
    </message>
    <message>
        <source>没有需要保存的测试数据！</source>
        <translation>There is no test data to save.</translation>
    </message>
    <message>
        <source>本次测试已经保存！</source>
        <translation>This test has been saved already.</translation>
    </message>
    <message>
        <source>测试数据尚未保存，确定要放弃吗？</source>
        <translation>The test data have not been saved. Discard them?</translation>
    </message>
    <message>
        <source>测试数据尚未保存，确定要退出吗？</source>
        <translation>The test data have not been saved. Exit anyway?</translation>
    </message>
    <message>
        <source>
未保存：</source>
        <translation>
Not saved: </translation>
    </message>
    <message>
        <source>存储 </source>
        <translation>Stored: </translation>
    </message>
    <message>
        <source> 条记录</source>
        <translation> records</translation>
    </message>
    <message>
        <source>片数据是否保存?</source>
        <translation> sheet data: save?</translation>
    </message>
    <message>
        <source>
第</source>
        <translation>
Channel </translation>
    </message>
    <message>
        <source>路测试未完成，未测得的结果保存为空。</source>
        <translation> test did not finish; the results not measured are saved empty.</translation>
    </message>
    <message>
        <source>片曲线有</source>
        <translation> sheet curve has </translation>
    </message>
    <message>
        <source>个数据，超过批次数据库每条曲线最多</source>
        <translation> values, more than the batch database holds per curve (</translation>
    </message>
    <message>
        <source>个数据，本片未保存！</source>
        <translation>): this sheet was not saved!</translation>
    </message>
    <message>
        <source>数值无效：</source>
        <translation>Invalid value: </translation>
    </message>
    <message>
        <source>片曲线数据保存完毕!</source>
        <translation> sheet curve data saved!</translation>
    </message>
    <message>
        <source>1-6通道测试图</source>
        <translation>Channels 1-6</translation>
    </message>
    <message>
        <source>3合1比较显示</source>
        <translation>3-in-1 comparison</translation>
    </message>
    <message>
        <source>6合1比较显示</source>
        <translation>6-in-1 comparison</translation>
    </message>
    <message>
        <source>铝箔TV-漏电流参数设置</source>
        <translation>Foil TV / leakage parameters</translation>
    </message>
    <message>
        <source>电解液参数设置</source>
        <translation>Electrolyte parameters</translation>
    </message>
    <message>
        <source>批次</source>
        <translation>Batch</translation>
    </message>
    <message>
        <source>不合格</source>
        <translation>Fail</translation>
    </message>
    <message>
        <source>Varnot-2010062901ERP-1.15智能TV仪测试系统</source>
        <translation>Varnot-2010062901ERP-1.15 Smart TV Tester</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>退出(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>通讯设置(&amp;C)</source>
        <translation>&amp;Communication</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open serial port</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close serial port</translation>
    </message>
    <message>
        <source>合并报表</source>
        <translation>Merged report</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Operation</translation>
    </message>
    <message>
        <source>显示电流图像</source>
        <translation>Show current curves</translation>
    </message>
    <message>
        <source>隐藏电流图像</source>
        <translation>Hide current curves</translation>
    </message>
    <message>
        <source>图形设置(&amp;I)</source>
        <translation>&amp;Plots</translation>
    </message>
    <message>
        <source>1-6通道时间轴坐标放大</source>
        <translation>Channels 1-6: zoom in time axis</translation>
    </message>
    <message>
        <source>1-6通道时间轴坐标缩小</source>
        <translation>Channels 1-6: zoom out time axis</translation>
    </message>
    <message>
        <source>组合通道时间轴坐标放大</source>
        <translation>Combined plots: zoom in time axis</translation>
    </message>
    <message>
        <source>组合通道时间轴坐标放小</source>
        <translation>Combined plots: zoom out time axis</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>水煮参数</source>
        <translation>Boiling </translation>
    </message>
    <message>
        <source>水煮前：</source>
        <translation>Before boiling</translation>
    </message>
    <message>
        <source>水煮后：</source>
        <translation>After boiling</translation>
    </message>
    <message>
        <source>测试参数</source>
        <translation>Test type </translation>
    </message>
    <message>
        <source>TV测试：</source>
        <translation>TV test</translation>
    </message>
    <message>
        <source>漏电流：</source>
        <translation>Leakage current</translation>
    </message>
    <message>
        <source>电解液：</source>
        <translation>Electrolyte</translation>
    </message>
    <message>
        <source>参数联动</source>
        <translation>Linked parameters</translation>
    </message>
    <message>
        <source>不 联 动</source>
        <translation>Not linked</translation>
    </message>
    <message>
        <source>电解液通道</source>
        <translation>Electrolyte channel </translation>
    </message>
    <message>
        <source>TV通道</source>
        <translation>TV channel </translation>
    </message>
    <message>
        <source>数据显示</source>
        <translation> data</translation>
    </message>
    <message>
        <source>位置：</source>
        <translation>Position: </translation>
    </message>
    <message>
        <source>测试温度：</source>
        <translation>Test temperature: </translation>
    </message>
    <message>
        <source>  机箱温度：</source>
        <translation>  Chassis temperature: </translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>历史数据查询</source>
        <translation>History Query</translation>
    </message>
    <message>
        <source>没有符合条件的查询结果！</source>
        <translation>No records match the query!</translation>
    </message>
    <message>
        <source>操作错误！您还没有选中任何一条记录！</source>
        <translation>Operation error! No record is selected!</translation>
    </message>
    <message>
        <source>您确定要删除所选记录吗？</source>
        <translation>Delete the selected record?</translation>
    </message>
    <message>
        <source>删除完毕！</source>
        <translation>Deleted!</translation>
    </message>
    <message>
        <source>测试正在进行，不能显示记录！</source>
        <translation>A test is in progress: the record cannot be shown!</translation>
    </message>
    <message>
        <source>删除的条数必须是大于0的整数！请重新输入。</source>
        <translation>The number of records to delete must be a whole number greater than 0! Enter it again.</translation>
    </message>
    <message>
        <source>您确定要删除 </source>
        <translation>Delete </translation>
    </message>
    <message>
        <source> 条所选记录吗？</source>
        <translation> records from the selected one?</translation>
    </message>
    <message>
        <source>1-3通道</source>
        <translation>Channels 1-3</translation>
    </message>
    <message>
        <source>4-6通道</source>
        <translation>Channels 4-6</translation>
    </message>
    <message>
        <source>1-6通道</source>
        <translation>Channels 1-6</translation>
    </message>
    <message>
        <source>使用说明：
1. 选择测试类型，再选择查询名称和方向，输入参数值（方向为“介于”时输入参数值1和参数值2；日期写作 2009-09-01 或 2009/09/01），点击“查询”。
2. 在表格中点击一条记录将其选中，点击“删除记录”删除这一条；或在下方输入条数，点击“确定”，从选中的记录开始向下连续删除。
3. 测试编号末尾的 L、M、R 分别表示左（1）、中（2）、右（3）测试通道，H 和 T 表示头部和尾部。</source>
        <translation>How to use:
1. Choose the test type, then the query column and the comparison, and enter the value (for "Between" enter value 1 and value 2; dates are written 2009-09-01 or 2009/09/01), then click "Query".
2. Click a record in the table to select it and click "Delete record" to delete it; or enter a number of records below and click "OK" to delete that many, from the selected record down.
3. The letters L, M and R at the end of a test number stand for the left (1), middle (2) and right (3) test channel; H and T for head and tail.</translation>
    </message>
    <message>
        <source>删除记录</source>
        <translation>Delete record</translation>
    </message>
    <message>
        <source>显示记录</source>
        <translation>Show record</translation>
    </message>
    <message>
        <source>修改记录</source>
        <translation>Modify record</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>选择测试类型</source>
        <translation>Test type</translation>
    </message>
    <message>
        <source>选择查询名称</source>
        <translation>Query column</translation>
    </message>
    <message>
        <source>选择方向</source>
        <translation>Comparison</translation>
    </message>
    <message>
        <source>参数值1</source>
        <translation>Value 1</translation>
    </message>
    <message>
        <source>参数值2</source>
        <translation>Value 2</translation>
    </message>
    <message>
        <source>查询结果</source>
        <translation>Found</translation>
    </message>
    <message>
        <source>条记录</source>
        <translation>records</translation>
    </message>
    <message>
        <source>显示通道</source>
        <translation>Show on channels</translation>
    </message>
    <message>
        <source>记录从选择项开始共</source>
        <translation>Records from the selected one:</translation>
    </message>
    <message>
        <source>条纪录被删除</source>
        <translation>to delete</translation>
    </message>
    <message>
        <source>您还未选择修改项目！</source>
        <translation>No column to modify is chosen!</translation>
    </message>
    <message>
        <source>您还未输入修改后的值！</source>
        <translation>No new value is entered!</translation>
    </message>
    <message>
        <source>修改完毕！重新点击查询可以看到修改结果</source>
        <translation>Modified! Query again to see the change</translation>
    </message>
    <message>
        <source>操作错误！请检查以后重新执行该操作！</source>
        <translation>Operation error! Check and try again!</translation>
    </message>
    <message>
        <source>记录修改</source>
        <translation>Modify Record</translation>
    </message>
    <message>
        <source>请先选择查询记录，再修改记录</source>
        <translation>Select a record in the query result first, then modify it</translation>
    </message>
    <message>
        <source>选择要修改的记录：</source>
        <translation>Column to modify:</translation>
    </message>
    <message>
        <source>修改为：</source>
        <translation>New value:</translation>
    </message>
    <message>
        <source>火花电压</source>
        <translation>Spark voltage</translation>
    </message>
    <message>
        <source>测试日期 between #</source>
        <translation>测试日期 between #</translation>
    </message>
    <message>
        <source>介于</source>
        <translation>Between</translation>
    </message>
    <message>
        <source>记录 </source>
        <translation>Record </translation>
    </message>
    <message>
        <source> 无法显示：</source>
        <translation> cannot be shown: </translation>
    </message>
    <message>
        <source>数据库文件不存在</source>
        <translation>the database file does not exist</translation>
    </message>
    <message>
        <source>记录已不存在</source>
        <translation>the record no longer exists</translation>
    </message>
    <message>
        <source>电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>曲线表不存在</source>
        <translation>the curve table does not exist</translation>
    </message>
    <message>
        <source> 无法显示：曲线只有 </source>
        <translation> cannot be shown: the curve has only </translation>
    </message>
    <message>
        <source> 个点，需要 </source>
        <translation> points, it needs </translation>
    </message>
    <message>
        <source> 个</source>
        <translation>.</translation>
    </message>
    <message>
        <source>路A点：</source>
        <translation> point A: </translation>
    </message>
    <message>
        <source>A点:</source>
        <translation>A:</translation>
    </message>
    <message>
        <source>-A点:</source>
        <translation>-A:</translation>
    </message>
    <message>
        <source>路C点：</source>
        <translation> point C: </translation>
    </message>
    <message>
        <source>路C点</source>
        <translation> point C </translation>
    </message>
    <message>
        <source>B点:</source>
        <translation>B:</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>智能TV仪测试系统</source>
        <translation>Smart TV Tester</translation>
    </message>
    <message>
        <source>Varnot-2010062901-1.25智能TV仪测试系统</source>
        <translation>Varnot-2010062901-1.25 Smart TV Tester</translation>
    </message>
    <message>
        <source>串口已经打开！</source>
        <translation>The serial port is already open!</translation>
    </message>
    <message>
        <source>Varnot-2010062901ERP-1.15连接成功！您可以进行下一步操作测试</source>
        <translation>Varnot-2010062901ERP-1.15 connected! You can go on with the test</translation>
    </message>
    <message>
        <source>智能TV仪未能连接！请检查串口并再次连接试试！</source>
        <translation>The TV tester did not connect! Check the serial port and connect again!</translation>
    </message>
    <message>
        <source>Varnot通信异常！请检查后再重新测试</source>
        <translation>Varnot communication error! Check it and test again</translation>
    </message>
    <message>
        <source>通讯正常</source>
        <translation> communication OK</translation>
    </message>
    <message>
        <source>通讯异常</source>
        <translation> communication error</translation>
    </message>
    <message>
        <source>串口已关闭</source>
        <translation>Serial port closed</translation>
    </message>
    <message>
        <source>以太网</source>
        <translation>Ethernet</translation>
    </message>
    <message>
        <source>通讯中断</source>
        <translation> communication lost</translation>
    </message>
    <message>
        <source>以太网断开</source>
        <translation>Ethernet disconnect</translation>
    </message>
    <message>
        <source>等待温度读数…</source>
        <translation>Waiting for a temperature reading…</translation>
    </message>
    <message>
        <source>水温 </source>
        <translation>Water temperature </translation>
    </message>
    <message>
        <source> ℃ 不在 </source>
        <translation> ℃ is not within </translation>
    </message>
    <message>
        <source> ℃ 之间，等待中</source>
        <translation> ℃, waiting</translation>
    </message>
    <message>
        <source>化成电压：</source>
        <translation>Formation voltage: </translation>
    </message>
    <message>
        <source>测试电流：</source>
        <translation>Test current: </translation>
    </message>
    <message>
        <source>延迟时间：</source>
        <translation>Delay time: </translation>
    </message>
    <message>
        <source>升压时间指标：</source>
        <translation>Rise time limit: </translation>
    </message>
    <message>
        <source>升压时间：</source>
        <translation>Rise time: </translation>
    </message>
    <message>
        <source>TV值0：</source>
        <translation>TV value 0: </translation>
    </message>
    <message>
        <source>TV特性：</source>
        <translation>TV judgement: </translation>
    </message>
    <message>
        <source>测试员：</source>
        <translation>Tester: </translation>
    </message>
    <message>
        <source>测试编号：</source>
        <translation>Test number: </translation>
    </message>
    <message>
        <source>测试日期：</source>
        <translation>Test date: </translation>
    </message>
    <message>
        <source>漏电流电压：</source>
        <translation>Leakage voltage: </translation>
    </message>
    <message>
        <source>漏电流指标：</source>
        <translation>Leakage limit: </translation>
    </message>
    <message>
        <source>测试时间：</source>
        <translation>Test time: </translation>
    </message>
    <message>
        <source>漏电流特性：</source>
        <translation>Leakage judgement: </translation>
    </message>
    <message>
        <source>参考电压：</source>
        <translation>Reference voltage: </translation>
    </message>
    <message>
        <source>闪火延时：</source>
        <translation>Spark delay: </translation>
    </message>
    <message>
        <source>闪火修正：</source>
        <translation>Spark correction: </translation>
    </message>
    <message>
        <source>最大电压：</source>
        <translation>Maximum voltage: </translation>
    </message>
    <message>
        <source>最小电压：</source>
        <translation>Minimum voltage: </translation>
    </message>
    <message>
        <source>判定结果：</source>
        <translation>Judgement: </translation>
    </message>
    <message>
        <source>火化电压1：</source>
        <translation>Spark voltage 1: </translation>
    </message>
    <message>
        <source>火化时间1：</source>
        <translation>Spark time 1: </translation>
    </message>
    <message>
        <source>火化电压2：</source>
        <translation>Spark voltage 2: </translation>
    </message>
    <message>
        <source>火化时间2：</source>
        <translation>Spark time 2: </translation>
    </message>
    <message>
        <source>火化电压3：</source>
        <translation>Spark voltage 3: </translation>
    </message>
    <message>
        <source>火化时间3：</source>
        <translation>Spark time 3: </translation>
    </message>
    <message>
        <source>%1-%2通道</source>
        <translation>Channels %1-%2</translation>
    </message>
    <message>
        <source>火化电压-时间数据</source>
        <translation>Spark voltage and time data</translation>
    </message>
    <message>
        <source>Varnot智能TV仪铝箔特性测试报告</source>
        <translation>Varnot Smart TV Tester Foil Test Report</translation>
    </message>
    <message>
        <source>Varnot智能TV仪漏电流测试报告</source>
        <translation>Varnot Smart TV Tester Leakage Current Test Report</translation>
    </message>
    <message>
        <source>Varnot智能TV仪电解液测试报告</source>
        <translation>Varnot Smart TV Tester Electrolyte Test Report</translation>
    </message>
    <message>
        <source>TV通道%1数据显示</source>
        <translation>TV channel %1 data</translation>
    </message>
    <message>
        <source>打印1-3通道</source>
        <translation>Print channels 1-3</translation>
    </message>
    <message>
        <source>打印4-6通道</source>
        <translation>Print channels 4-6</translation>
    </message>
    <message>
        <source>打印1-6通道</source>
        <translation>Print channels 1-6</translation>
    </message>
    <message>
        <source>报告-</source>
        <translation>报告-</translation>
    </message>
    <message>
        <source>没有安装打印机，报告已保存为PDF文件：</source>
        <translation>No printer is installed; the report was saved as a PDF file: </translation>
    </message>
    <message>
        <source>报告已保存为PDF文件：</source>
        <translation>The report was saved as a PDF file: </translation>
    </message>
    <message>
        <source>报告文件无法写入：</source>
        <translation>Report file cannot be written: </translation>
    </message>
    <message>
        <source>报告未能打印！</source>
        <translation>The report could not be printed!</translation>
    </message>
    <message>
        <source>合格</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>路测试达到最长时间</source>
        <translation> test reached the longest test time </translation>
    </message>
    <message>
        <source>测试结束</source>
        <translation>Test ended</translation>
    </message>
    <message>
        <source>B点</source>
        <translation>B</translation>
    </message>
    <message>
        <source>C点</source>
        <translation>C</translation>
    </message>
    <message>
        <source>电解液</source>
        <translation>Electrolyte</translation>
    </message>
    <message>
        <source>漏电</source>
        <translation>Leak</translation>
    </message>
    <message>
        <source>火花1</source>
        <translation>Spark 1</translation>
    </message>
    <message>
        <source>火花2</source>
        <translation>Spark 2</translation>
    </message>
    <message>
        <source>火花3</source>
        <translation>Spark 3</translation>
    </message>
    <message>
        <source>待定</source>
        <translation>Pending</translation>
    </message>
    <message>
        <source>路关闭</source>
        <translation> off</translation>
    </message>
    <message>
        <source>路关闭：</source>
        <translation> off: </translation>
    </message>
    <message>
        <source>化成电压{n}：</source>
        <translation>Formation voltage {n}: </translation>
    </message>
    <message>
        <source>Vr取值比{n}：</source>
        <translation>Vr ratio {n}: </translation>
    </message>
    <message>
        <source>测试电流{n}：</source>
        <translation>Test current {n}: </translation>
    </message>
    <message>
        <source>延迟时间{n}：</source>
        <translation>Delay time {n}: </translation>
    </message>
    <message>
        <source>升压时间指标{n}：</source>
        <translation>Rise time limit {n}: </translation>
    </message>
    <message>
        <source>漏电流电压{n}：</source>
        <translation>Leakage voltage {n}: </translation>
    </message>
    <message>
        <source>漏电流指标{n}：</source>
        <translation>Leakage limit {n}: </translation>
    </message>
    <message>
        <source>测试时间{n}：</source>
        <translation>Test time {n}: </translation>
    </message>
    <message>
        <source>测试人：</source>
        <translation>Tester: </translation>
    </message>
    <message>
        <source>水温度{n}：</source>
        <translation>Water temperature {n}: </translation>
    </message>
    <message>
        <source>设定电压{n}：</source>
        <translation>Set voltage {n}: </translation>
    </message>
    <message>
        <source>参考电压{n}：</source>
        <translation>Reference voltage {n}: </translation>
    </message>
    <message>
        <source>闪火延时{n}：</source>
        <translation>Spark delay {n}: </translation>
    </message>
    <message>
        <source>闪火修正{n}：</source>
        <translation>Spark correction {n}: </translation>
    </message>
    <message>
        <source>火化电压{n}1</source>
        <translation>Spark voltage {n}-1</translation>
    </message>
    <message>
        <source>火化时间{n}1</source>
        <translation>Spark time {n}-1</translation>
    </message>
    <message>
        <source>火化电压{n}2</source>
        <translation>Spark voltage {n}-2</translation>
    </message>
    <message>
        <source>火化时间{n}2</source>
        <translation>Spark time {n}-2</translation>
    </message>
    <message>
        <source>火化电压{n}3</source>
        <translation>Spark voltage {n}-3</translation>
    </message>
    <message>
        <source>火化时间{n}3</source>
        <translation>Spark time {n}-3</translation>
    </message>
    <message>
        <source>测试编号{n}：</source>
        <translation>Test number {n}: </translation>
    </message>
    <message>
        <source>测试人{n}：</source>
        <translation>Tester {n}: </translation>
    </message>
    <message>
        <source>测试日期应为有效日期（yyyy/mm/dd或yyyy-mm-dd），请重新输入！</source>
        <translation>The test date must be a valid date (yyyy/mm/dd or yyyy-mm-dd). Enter it again!</translation>
    </message>
    <message>
        <source>的范围是</source>
        <translation> must be within </translation>
    </message>
    <message>
        <source>，请重新输入！</source>
        <translation>. Enter it again!</translation>
    </message>
    <message>
        <source>数据库文件不存在：</source>
        <translation>The database file does not exist: </translation>
    </message>
    <message>
        <source>数据库文件在保存时被移走或替换：</source>
        <translation>The database file was moved or replaced while saving: </translation>
    </message>
    <message>
        <source>查询错误:</source>
        <translation>Query error:</translation>
    </message>
    <message>
        <source>查询到%1条记录</source>
        <translation>%1 records found</translation>
    </message>
    <message>
        <source>同名记录已经存在，请使用其他的表单编号！</source>
        <translation>A record with this name already exists. Use another sheet number!</translation>
    </message>
    <message>
        <source>铝箔TV参数</source>
        <translation>Foil TV parameters</translation>
    </message>
    <message>
        <source>漏电流参数</source>
        <translation>Leakage current parameters</translation>
    </message>
    <message>
        <source>电解液参数</source>
        <translation>Electrolyte parameters</translation>
    </message>
    <message>
        <source>按编号索引_</source>
        <translation>按编号索引_</translation>
    </message>
    <message>
        <source>第%1路</source>
        <translation>channel %1</translation>
    </message>
    <message>
        <source>第%1路开始</source>
        <translation>Channel %1 started</translation>
    </message>
    <message>
        <source>第%1路测试关闭</source>
        <translation>Channel %1 test off</translation>
    </message>
    <message>
        <source>第%1路关闭</source>
        <translation>Channel %1 off</translation>
    </message>
    <message>
        <source>第%1路关闭：</source>
        <translation>Channel %1 off: </translation>
    </message>
    <message>
        <source>%1路A点：</source>
        <translation>Channel %1 point A: </translation>
    </message>
    <message>
        <source>%1路C点</source>
        <translation>Channel %1 point C </translation>
    </message>
    <message>
        <source>第%1路测试达到最长时间%2秒</source>
        <translation>Channel %1 test reached the longest test time of %2 s</translation>
    </message>
    <message>
        <source>第%1路测试未完成，未测得的结果保存为空。</source>
        <translation>Channel %1 test did not finish; the results not measured are saved empty.</translation>
    </message>
    <message>
        <source>存储 %1 条记录</source>
        <translation>%1 records stored</translation>
    </message>
    <message>
        <source>水温 %1 ℃ 不在 %2–%3 ℃ 之间，等待中</source>
        <translation>Water temperature %1 ℃ is not within %2–%3 ℃, waiting</translation>
    </message>
    <message>
        <source>水煮参数%1-%2：</source>
        <translation>Boiling %1-%2:</translation>
    </message>
    <message>
        <source>测试参数%1-%2</source>
        <translation>Test type %1-%2</translation>
    </message>
    <message>
        <source>参数联动%1-%2</source>
        <translation>Linkage %1-%2</translation>
    </message>
    <message>
        <source>电解液通道%1数据显示</source>
        <translation>Electrolyte channel %1 data</translation>
    </message>
    <message>
        <source>第%1路、</source>
        <translation>channel %1, </translation>
    </message>
    <message>
        <source>第%1路开始TV测试</source>
        <translation>Channel %1 started: TV test</translation>
    </message>
    <message>
        <source>第%1路开始漏电流测试</source>
        <translation>Channel %1 started: leakage current test</translation>
    </message>
    <message>
        <source>第%1路开始电解液测试</source>
        <translation>Channel %1 started: electrolyte test</translation>
    </message>
    <message>
        <source>同名记录TV测试编号：</source>
        <translation>A TV test record named </translation>
    </message>
    <message>
        <source>同名记录漏电流测试编号：</source>
        <translation>A leakage current test record named </translation>
    </message>
    <message>
        <source>同名记录电解液测试编号：</source>
        <translation>An electrolyte test record named </translation>
    </message>
    <message>
        <source>第%1片数据是否保存?</source>
        <translation>Save the data of sheet %1?</translation>
    </message>
    <message>
        <source>第%1片曲线有%2个数据，超过批次数据库每条曲线最多%3个数据，本片未保存！</source>
        <translation>The curve of sheet %1 has %2 values, more than the %3 the batch database holds per curve: this sheet was not saved!</translation>
    </message>
    <message>
        <source>第%1片曲线数据保存完毕!</source>
        <translation>Curve data of sheet %1 saved!</translation>
    </message>
    <message>
        <source>第%1路测试结束</source>
        <translation>Channel %1 test ended</translation>
    </message>
    <message>
        <source>第%1路TV测试结束</source>
        <translation>Channel %1 TV test ended</translation>
    </message>
    <message>
        <source>第%1路漏电流测试结束</source>
        <translation>Channel %1 leakage current test ended</translation>
    </message>
    <message>
        <source>第%1路电解液测试结束</source>
        <translation>Channel %1 electrolyte test ended</translation>
    </message>
    <message>
        <source>
第%1路测试未完成，未测得的结果保存为空。</source>
        <translation>
Channel %1 test did not finish; the results not measured are saved empty.</translation>
    </message>
    <message>
        <source>%1路测试值：</source>
        <translation>Channel %1 test values: </translation>
    </message>
    <message>
        <source>%1路电压值：</source>
        <translation>Channel %1 voltage: </translation>
    </message>
    <message>
        <source>%1路电流值：</source>
        <translation>Channel %1 current: </translation>
    </message>
    <message>
        <source>找不到合并报表程序，合格证已保存为PDF文件：</source>
        <translation>The merged report program was not found; the certificate was saved as a PDF file: </translation>
    </message>
    <message>
        <source>合格证文件无法写入：</source>
        <translation>The certificate file cannot be written: </translation>
    </message>
    <message>
        <source>批次未保存，无法输出合格证：</source>
        <translation>The batch is not saved; no certificate can be written: </translation>
    </message>
    <message>
        <source>合格证无法输出</source>
        <translation>The certificate cannot be written</translation>
    </message>
    <message>
        <source>上次测试未正常结束，是否恢复？</source>
        <translation>The last test did not end normally. Restore it?</translation>
    </message>
    <message>
        <source>批次统计</source>
        <translation>Batch statistics</translation>
    </message>
    <message>
        <source>铝箔批次合格证</source>
        <translation>Foil batch certificate</translation>
    </message>
    <message>
        <source>批次判定：</source>
        <translation>Batch verdict: </translation>
    </message>
    <message>
        <source>不完整</source>
        <translation>Incomplete</translation>
    </message>
    <message>
        <source>出证日期：</source>
        <translation>Issued: </translation>
    </message>
    <message>
        <source>判定</source>
        <translation>Judgement</translation>
    </message>
    <message>
        <source>' 水煮后</source>
        <translation>' after boiling</translation>
    </message>
    <message>
        <source> 水煮前</source>
        <translation> before boiling</translation>
    </message>
    <message>
        <source>TV曲线</source>
        <translation>TV curve</translation>
    </message>
    <message>
        <source>合格证-</source>
        <translation>certificate-</translation>
    </message>
    <message>
        <source>请选择规格！</source>
        <translation>Please choose a specification!</translation>
    </message>
    <message>
        <source>升压时间指标必须是数字！</source>
        <translation>The rise-time limit must be a number!</translation>
    </message>
    <message>
        <source>无法读取批次数据库：</source>
        <translation>The batch database cannot be read: </translation>
    </message>
    <message>
        <source>水煮前Tr</source>
        <translation>Tr before boiling</translation>
    </message>
    <message>
        <source>水煮后Tr</source>
        <translation>Tr after boiling</translation>
    </message>
    <message>
        <source>变化</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>批数</source>
        <translation>Batches</translation>
    </message>
    <message>
        <source>Tr 均值图</source>
        <translation>Tr mean chart</translation>
    </message>
    <message>
        <source>Tr 极差图</source>
        <translation>Tr range chart</translation>
    </message>
    <message>
        <source>TV 均值图</source>
        <translation>TV mean chart</translation>
    </message>
    <message>
        <source>TV 极差图</source>
        <translation>TV range chart</translation>
    </message>
    <message>
        <source>至</source>
        <translation>to</translation>
    </message>
    <message>
        <source>批数：%1    片数：%2</source>
        <translation>Batches: %1    Sheets: %2</translation>
    </message>
    <message>
        <source>    少于2片未入图：%1批</source>
        <translation>    Fewer than 2 sheets, not charted: %1 batches</translation>
    </message>
    <message>
        <source>不合格：%1/%2片（%3%）</source>
        <translation>Failed: %1/%2 sheets (%3%)</translation>
    </message>
    <message>
        <source>    未判定：%1片</source>
        <translation>    Not judged: %1 sheets</translation>
    </message>
    <message>
        <source>数值无效：Speci</source>
        <translation>Invalid value: Speci</translation>
    </message>
    <message>
        <source>设置文件已损坏：</source>
        <translation>The settings file is damaged: </translation>
    </message>
    <message>
        <source>，已移至</source>
        <translation>, moved to </translation>
    </message>
    <message>
        <source>，各项设置恢复为初始值</source>
        <translation>; every setting is back at its first value</translation>
    </message>
    <message>
        <source>设置文件中的无效值已用替代值代替：</source>
        <translation>Invalid values in the settings file were replaced: </translation>
    </message>
    <message>
        <source>运行记录无法写入，测试中断时数据无法恢复：</source>
        <translation>The run journal cannot be written; an interrupted test cannot be recovered: </translation>
    </message>
    <message>
        <source>测试正在进行，断开通讯将停止测试，确定要断开吗？</source>
        <translation>A test is running. Disconnecting stops the test. Disconnect?</translation>
    </message>
    <message>
        <source>测试已由操作员停止，通讯已断开</source>
        <translation>The test was stopped by the operator; the link is closed</translation>
    </message>
    <message>
        <source>尚未读到水温，不能开始测试</source>
        <translation>No water temperature read yet; the test cannot start</translation>
    </message>
    <message>
        <source> ℃ 之间，不能开始测试</source>
        <translation> ℃; the test cannot start</translation>
    </message>
    <message>
        <source>不是有效日期</source>
        <translation>not a valid date</translation>
    </message>
    <message>
        <source>范围是</source>
        <translation>the range is </translation>
    </message>
    <message>
        <source>的存储值“</source>
        <translation> stored value “</translation>
    </message>
    <message>
        <source>”未采用：</source>
        <translation>” not taken: </translation>
    </message>
    <message>
        <source>请选择调节方式：粗调或细调！</source>
        <translation>Choose the step: coarse or fine!</translation>
    </message>
    <message>
        <source>恢复默认值会把所有通道的校准系数恢复为1，并把时间轴放大倍数恢复为初始值，是否继续？</source>
        <translation>Restoring the defaults sets the calibration coefficients of every channel to 1 and the time-axis zoom factors to their first values. Continue?</translation>
    </message>
    <message>
        <source>已删除 </source>
        <translation>Deleted </translation>
    </message>
    <message>
        <source> 条记录。
</source>
        <translation> records.
</translation>
    </message>
    <message>
        <source>以下记录未能删除：</source>
        <translation>These records were not deleted: </translation>
    </message>
    <message>
        <source>
原因：</source>
        <translation>
Reason: </translation>
    </message>
    <message>
        <source>修改的记录：</source>
        <translation>Record changed: </translation>
    </message>
    <message>
        <source> 未修改：</source>
        <translation> not changed: </translation>
    </message>
    <message>
        <source>只能是“合格”、“不合格”或“待定”</source>
        <translation> can only be "合格", "不合格" or "待定"</translation>
    </message>
    <message>
        <source>以下各片尚未保存在批次中，其参数无法保存：</source>
        <translation>These sheets are not stored in the batch yet; their values cannot be saved: </translation>
    </message>
    <message>
        <source>判定依据：各片TV值不低于VF值且升压时间不超过该片测试时的升压时间指标为合格；六片均合格则批次合格，任一片不合格则批次不合格。</source>
        <translation>Basis: a sheet passes when its TV is not below VF and its rise time does not exceed the rise-time limit it was tested with; the batch passes when all six sheets pass and fails when any sheet fails.</translation>
    </message>
    <message>
        <source>未记录</source>
        <translation>not recorded</translation>
    </message>
</context>
</TS>
